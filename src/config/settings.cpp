#include "config/settings.h"

#include "base/files.h"
#include "base/local_time.h"
#include "base/text.h"
#include "config/access.h"
#include "config/legacy.h"
#include "instance/data_folder.h"
#include "instance/paths.h"
#include "instance/tray_log.h"

#include <windows.h>

#include <windows.h>

#include <string_view>

namespace {

constexpr std::size_t account_password_length = 16;
// Far beyond what the file ever holds: a larger one is not ours and is not read into memory.
constexpr std::uint64_t largest_settings_file = 65536;

constexpr std::string_view crlf = "\r\n";
// An empty root_password line means "not set" and takes the random default, so an empty root
// password (an old installation's) is written as this; no usable root password holds a quote.
constexpr std::string_view empty_root_password = "\"\"";

// Only these three words switch the firewall rule off; anything else, even a typo, keeps the
// port open for the registers.
bool firewall_value(std::string_view value) {
    return !(value == "false" || value == "off" || value == "0");
}

void assign(ConnectionSettings& settings, std::string_view key, std::string_view value) {
    if (key == "port") {
        // A bad port line is not skipped: it resets whatever an earlier line set.
        settings.port = parse_u16(value).value_or(default_port);
    } else if (key == "database") {
        settings.database = value;
    } else if (key == "user") {
        settings.user = value;
    } else if (key == "password") {
        settings.password = value;
    } else if (key == "host") {
        settings.host = value;
    } else if (key == "bind") {
        if (!value.empty()) settings.bind = value;
    } else if (key == "firewall") {
        settings.firewall = firewall_value(value);
    } else if (key == "root_password") {
        if (value == empty_root_password)
            settings.root_password.clear();
        else if (!value.empty())
            settings.root_password = value;
    }
}

} // namespace

ConnectionSettings default_settings() {
    return ConnectionSettings{.password = random_password(account_password_length),
                              .root_password = random_password(root_password_length)};
}

ConnectionSettings parse_settings(std::string_view text) {
    ConnectionSettings settings = default_settings();
    for (const KeyValue& pair : key_value_lines(text))
        assign(settings, pair.key, pair.value);
    return settings;
}

std::string render_settings(const ConnectionSettings& settings) {
    std::string text;
    auto line = [&](std::string_view head, std::string_view value = {}) {
        text.append(head).append(value).append(crlf);
    };
    line("; KELTA Retail MySQL - connection settings (change them in the tray: Setup)");
    line("[connection]");
    line("port=", std::to_string(settings.port));
    line("database=", settings.database);
    line("user=", settings.user);
    line("password=", settings.password);
    line("host=", settings.host);
    line("bind=", settings.bind);
    line("firewall=", settings.firewall ? "1" : "0");
    line("root_password=",
         settings.root_password.empty() ? empty_root_password : settings.root_password);
    return text;
}

Result<ConnectionSettings> read_settings_file(const std::string& path) {
    auto text = read_text_file(path);
    if (!text) return fail(text.error());
    return parse_settings(*text);
}

Result<ConnectionSettings> take_settings_file(const std::string& path, bool keep_unreadable) {
    UniqueFile file(CreateFileW(widen(path).c_str(), GENERIC_READ | READ_CONTROL | DELETE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return fail(path + ": " + last_error_text());
    if (auto trusted = check_trusted_file(file.get(), path); !trusted)
        return fail(trusted.error() +
                    "; a settings file must be one that only administrators can change");
    auto bytes = read_open_file(file.get());
    auto text = bytes ? text_content(std::move(*bytes)) : Result<std::string>(fail(bytes.error()));
    if (text || !keep_unreadable) (void)delete_open_file(file.get());
    if (!text) return fail(path + ": " + text.error());
    return parse_settings(*text);
}

std::optional<ConnectionSettings> load_settings() {
    if (auto text = read_trusted_text(settings_path(), largest_settings_file))
        return parse_settings(*text);
    return import_legacy_file();
}

void settle_interrupted_save() {
    const std::string unsaved = unsaved_settings_path();
    if (!path_exists(unsaved)) return;
    auto text = read_text_file(unsaved);
    const std::optional<ConnectionSettings> pending =
        text ? std::optional(parse_settings(*text)) : std::nullopt;
    // Written in full, it reads back as it was written; anything else was cut off mid-write and
    // never took anybody's place.
    if (!pending || render_settings(*pending) != *text) {
        if (delete_file(unsaved))
            append_tray_log(unsaved + " removed: a save that was cut off while it was written",
                            true);
        return;
    }
    const bool stored = path_exists(settings_path());
    auto current = read_settings_file(settings_path());
    if (current && *current == *pending) {
        delete_file(unsaved);
        return;
    }
    // The save's last step, the rename, never happened: what was being saved is the newest word,
    // unless it would change the root password of the settings it was to replace.
    if (!stored || (current && current->root_password == pending->root_password)) {
        if (MoveFileExW(widen(unsaved).c_str(), widen(settings_path()).c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            append_tray_log(unsaved + " put in place: a save that was cut off before its end",
                            true);
        return;
    }
    const std::string aside = unsaved + ".interrupted-" + local_timestamp();
    if (MoveFileExW(widen(unsaved).c_str(), widen(aside).c_str(), 0))
        append_tray_log(unsaved + " set aside as " + aside +
                            ": a save that was cut off, with another root password than " +
                            settings_path(),
                        true);
}

Result<void> save_settings(const ConnectionSettings& settings) {
    if (auto made = make_data_root(); !made) return made;
    settle_interrupted_save();
    // The new file is complete and locked down under its temporary name before it replaces the
    // old one: a crash leaves the previous connection.ini, never a truncated one, and the
    // passwords are never readable by ordinary users, not even for a moment. A failed icacls
    // still lets the new file take its place, private from its creation as it is: it may hold
    // the root password a new data directory was just given. The error is reported, and the
    // next save runs icacls again.
    std::optional<std::string> restrict_error;
    auto restrict = [&](const std::string& temporary) -> Result<void> {
        if (auto restricted = restrict_file_access(temporary); !restricted)
            restrict_error = restricted.error();
        return {};
    };
    if (auto replaced =
            replace_private_file_contents(settings_path(), render_settings(settings), restrict);
        !replaced)
        return replaced;
    if (restrict_error) return fail(*restrict_error);
    // Only now that the protected file exists may the old plain-text copy of the passwords go.
    delete_file(legacy_settings_path());
    return {};
}
