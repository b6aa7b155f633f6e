#include "svc/backup_settings.h"

#include "base/drives.h"
#include "base/files.h"
#include "base/fill_in.h"
#include "base/handles.h"
#include "base/text.h"
#include "i18n/tr.h"
#include "instance/data_folder.h"
#include "instance/dump_folder.h"
#include "instance/paths.h"
#include "instance/program_folder.h"
#include "svc/backup_failures.h"
#include "svc/backup_state.h"
#include "svc/tasks.h"

#include <windows.h>

namespace {

constexpr std::string_view crlf = "\r\n";
// Far beyond what the file ever holds: a larger one is not ours and is not read into memory.
constexpr std::uint64_t largest_settings_file = 16384;
constexpr std::string_view characters_no_path_holds = "*?\"<>|";

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// A folder the SYSTEM account can reach at night: a drive letter ("E:\Backups") or a share
// ("\\nas\shop"); a relative path would depend on the current folder of the task.
bool is_absolute_folder(std::string_view path) {
    const bool drive = path.size() >= 3 &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                       path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    const bool share = path.size() > 2 && path.starts_with("\\\\") && path[2] != '\\';
    if (!drive && !share) return false;
    // "?" and "*" also refuse the "\\?\" and "\\.\" device forms.
    for (char c : path.substr(2))
        if (characters_no_path_holds.find(c) != std::string_view::npos || c == ':' ||
            (c >= 0 && c < ' '))
            return false;
    return true;
}

std::string without_trailing_separator(std::string_view path) {
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.remove_suffix(1);
    return std::string(path);
}

// A folder the backup can write to at night; a mapped drive letter exists only for the user who
// mapped it, never for the system account the task runs as.
bool is_usable_folder(std::string_view path) {
    return is_absolute_folder(path) && !mapped_drive(path);
}

// Takes the value into the settings; false when the backup could not work with it.
bool assign(BackupSettings& settings, std::string_view key, std::string_view value) {
    if (key == "enabled") {
        if (value == "0" || value == "false" || value == "off")
            settings.enabled = false;
        else if (value == "1" || value == "true" || value == "on")
            settings.enabled = true;
        else
            return false;
    } else if (key == "time") {
        if (!is_time_of_day(value)) return false;
        settings.time = value;
    } else if (key == "keep") {
        auto keep = parse_u16(value);
        if (!keep || *keep < 1 || *keep > most_backups_kept) return false;
        settings.keep = *keep;
    } else if (key == "folder") {
        if (!is_usable_folder(value)) return false;
        settings.folder = without_trailing_separator(value);
    } else if (key == "copy_to") {
        if (!value.empty() && !is_usable_folder(value)) return false;
        settings.copy_to = without_trailing_separator(value);
    }
    return true;
}

bool same_folder(const std::string& a, const std::string& b) {
    return CompareStringOrdinal(widen(a).c_str(), -1, widen(b).c_str(), -1, TRUE) == CSTR_EQUAL;
}

// A backup.ini that was set aside (named with ".untrusted-" and the time) left nothing to read,
// but its settings may have been the administrators' choice of no backup at all: its absence
// does not stand for the defaults.
std::optional<std::string> set_aside_copy(const std::string& path) {
    WIN32_FIND_DATAW found{};
    UniqueFind search(FindFirstFileW(widen(path + ".untrusted-*").c_str(), &found));
    if (!search) return std::nullopt;
    return join_path(parent_path(path), narrow(found.cFileName));
}

} // namespace

bool is_time_of_day(std::string_view text) {
    if (text.size() != 5 || text[2] != ':') return false;
    for (size_t i : {0u, 1u, 3u, 4u})
        if (!is_digit(text[i])) return false;
    const int hours = (text[0] - '0') * 10 + (text[1] - '0');
    const int minutes = (text[3] - '0') * 10 + (text[4] - '0');
    return hours < 24 && minutes < 60;
}

BackupSettings default_backup_settings() {
    return BackupSettings{.folder = automatic_backups_dir()};
}

Result<BackupSettings> parse_backup_settings(std::string_view text, std::string_view path) {
    BackupSettings settings = default_backup_settings();
    for (const KeyValue& pair : key_value_lines(text))
        if (!assign(settings, pair.key, pair.value))
            return fail(failure_text(settings_value_text, {path, pair.key, pair.value}));
    if (!settings.copy_to.empty() && same_folder(settings.copy_to, settings.folder))
        return fail(failure_text(settings_value_text, {path, "copy_to", settings.copy_to}));
    return settings;
}

std::string render_backup_settings(const BackupSettings& settings) {
    std::string text;
    auto line = [&](std::string_view head, std::string_view value = {}) {
        text.append(head).append(value).append(crlf);
    };
    line("; KELTA Retail MySQL - automatic backup (change it in Setup: Backup & restore)");
    line("[backup]");
    line("enabled=", settings.enabled ? "1" : "0");
    line("time=", settings.time);
    line("keep=", std::to_string(settings.keep));
    line("folder=", settings.folder);
    line("copy_to=", settings.copy_to);
    return text;
}

Result<void> validate_backup_settings(const BackupSettings& settings) {
    if (!is_time_of_day(settings.time))
        return fail(std::string(tr("Time: use hours and minutes, such as 02:30",
                                   "时间：请填写小时和分钟，例如 02:30")));
    if (settings.keep < 1 || settings.keep > most_backups_kept)
        return fail(std::string(tr("Number kept: from 1 to 365", "保留份数：1 到 365")));
    if (!is_absolute_folder(settings.folder))
        return fail(std::string(tr("Folder: give a full path, such as D:\\Backups",
                                   "文件夹：请填写完整路径，例如 D:\\Backups")));
    if (!settings.copy_to.empty() && !is_absolute_folder(settings.copy_to))
        return fail(std::string(tr("Copy to: give a full path, such as E:\\Backups, or leave it "
                                   "empty",
                                   "复制到：请填写完整路径，例如 E:\\Backups，或者留空")));
    for (const std::string& folder : {settings.folder, settings.copy_to})
        if (auto drive = mapped_drive(folder))
            return fail(fill_in(tr("Use the full network path (\\\\server\\share) instead of "
                                   "drive %1",
                                   "请使用完整的网络路径（\\\\server\\share），不要使用驱动器 %1"),
                                {*drive}));
    if (!settings.copy_to.empty() && same_folder(settings.copy_to, settings.folder))
        return fail(std::string(tr("Copy to: choose a folder other than the backup folder",
                                   "复制到：请选择与备份文件夹不同的文件夹")));
    return {};
}

Result<BackupSettings> load_backup_settings() {
    const std::string path = backup_settings_path();
    if (!path_exists(path)) {
        if (auto aside = set_aside_copy(path))
            return fail(failure_text(
                settings_unreadable_text,
                {path, "it was set aside as " + *aside + " (not written by an administrator)"}));
        return default_backup_settings();
    }
    // Only the administrators' own file: a copy_to from anybody else's would send every dump of
    // the shop there, copied by SYSTEM.
    auto text = read_trusted_text(path, largest_settings_file);
    // The reader's error starts with the path.
    if (!text)
        return fail(
            failure_text(settings_unreadable_text,
                         {path, std::string_view(text.error())
                                    .substr(std::min(text.error().size(), path.size() + 2))}));
    return parse_backup_settings(*text, path);
}

Result<void> save_backup_settings(const BackupSettings& settings) {
    if (auto valid = validate_backup_settings(settings); !valid) return valid;
    BackupSettings stored = settings;
    stored.folder = without_trailing_separator(settings.folder);
    stored.copy_to = without_trailing_separator(settings.copy_to);
    if (auto made = make_data_root(); !made) return made;
    return replace_file_contents(backup_settings_path(), render_backup_settings(stored));
}

Result<void> schedule_automatic_backup(const BackupSettings& settings) {
    if (!settings.enabled) {
        // A task that stays would go on dumping every night.
        if (auto removed = remove_backup_task(); !removed)
            return fail("Backup task: " + removed.error());
        return {};
    }
    if (auto registered = register_backup_task(settings.time); !registered)
        return fail("Backup task: " + registered.error());
    return {};
}

Result<std::string> apply_backup_settings(const BackupSettings& settings) {
    if (auto valid = validate_backup_settings(settings); !valid) return fail(valid.error());
    // The task runs this program as SYSTEM every night.
    if (settings.enabled)
        if (auto folder = check_program_folder(); !folder) return fail(folder.error());
    if (auto secured = secure_data_root(); !secured) return fail(secured.error());
    // The folders are made now and checked as they are, so that a folder the dumps may not go to
    // is refused here rather than found out at night. A share may be out of reach at the moment:
    // it keeps no rights anyway and is only tried at night.
    std::string warnings;
    for (const std::string& folder : {settings.folder, settings.copy_to}) {
        if (folder.empty()) continue;
        if (!folder.starts_with("\\\\"))
            if (auto made = create_private_directories(folder); !made)
                return fail(folder + ": " + made.error());
        auto checked = check_dump_folder(folder);
        if (!checked) return fail(checked.error());
        if (!checked->empty()) warnings += (warnings.empty() ? "" : "\n") + *checked;
    }
    // The task first: a Save that fails there has changed nothing, and can simply be tried again.
    if (auto scheduled = schedule_automatic_backup(settings); !scheduled)
        return fail(scheduled.error());
    if (auto saved = save_backup_settings(settings); !saved) return fail(saved.error());
    if (auto noted = note_backup_switch(settings.enabled); !noted) return fail(noted.error());
    return warnings;
}

Result<void> schedule_stored_backup() {
    auto settings = load_backup_settings();
    if (!settings) return fail("Backup task: " + settings.error());
    if (auto noted = note_backup_switch(settings->enabled); !noted)
        return fail("Backup task: " + noted.error());
    return schedule_automatic_backup(*settings);
}
