#include "svc/start_failure.h"

#include "base/files.h"
#include "base/text.h"
#include "i18n/language.h"
#include "instance/paths.h"
#include "svc/dump_list.h"
#include "svc/last_backup.h"
#include "svc/myini.h"

#include <windows.h>

#include <cctype>
#include <chrono>
#include <thread>

namespace {

constexpr std::uint64_t most_log_read = 1 << 20;
constexpr std::uint64_t largest_stored = 16384;
constexpr int holder_checks = 4;
constexpr std::size_t minute_length = 16; // "YYYY-MM-DD HH:MM"
constexpr auto holder_recheck = std::chrono::milliseconds(500);

// Option names as MySQL compares them: "-" and "_" alike, case ignored, no leading "--".
std::string plain_option(std::string_view name) {
    name = trim(name);
    while (name.starts_with('-'))
        name.remove_prefix(1);
    std::string plain;
    for (char c : name)
        plain += c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return plain;
}

// The my.ini line that sets the option MySQL did not know, as the operator wrote it; the
// option as MySQL quoted it when no line sets it.
std::string my_ini_line_of(const std::string& option) {
    const std::string wanted = plain_option(option.substr(0, option.find('=')));
    auto text = read_file(my_ini_path());
    if (!text) return option;
    for (std::string_view line : split_lines(*text)) {
        line = trim(line);
        if (!line.empty() && plain_option(line.substr(0, line.find('='))) == wanted)
            return lossy_utf8(line);
    }
    return option;
}

struct FreeSpace {
    std::string free;
    std::string drive;
};

FreeSpace free_space_of(const std::string& folder) {
    const std::wstring path = widen(folder);
    ULARGE_INTEGER available{};
    FreeSpace space;
    if (GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr))
        space.free = size_text(available.QuadPart);
    wchar_t volume[MAX_PATH] = {};
    if (GetVolumePathNameW(path.c_str(), volume, MAX_PATH)) {
        space.drive = narrow(volume);
        if (space.drive.size() > 1 && space.drive.ends_with('\\')) space.drive.pop_back();
    }
    return space;
}

// The backup to restore: the newest automatic dump still as it was made, or the operator's last
// backup when that is newer; "<time to the minute>, <file>", or empty when there is neither.
std::string last_backup_words() {
    const std::optional<LastBackup> manual = last_backup();
    std::optional<ListedDump> automatic;
    if (const std::optional<DumpList> list = load_dump_list()) {
        const std::vector<ListedDump> made = dumps_as_made(*list);
        if (!made.empty()) automatic = made.front();
    }
    // Both times have one form, to the minute, so the later one is the larger text.
    if (automatic && (!manual || automatic->time.substr(0, minute_length) > manual->time))
        return automatic->time.substr(0, minute_length) + ", " + automatic->path;
    return manual ? manual->time + ", " + manual->file : std::string();
}

} // namespace

Diagnosis port_diagnosis(std::uint16_t port, const std::optional<PortHolder>& holder) {
    Diagnosis d{.cause = StartFailure::port_in_use, .port = port};
    if (holder && !holder->name.empty()) {
        d.subject = holder->name;
        d.pid = holder->pid;
    }
    return d;
}

std::uint64_t error_log_mark() {
    return file_size(error_log_path()).value_or(0);
}

std::optional<Diagnosis> diagnose_start(std::uint64_t mark) {
    auto log = read_file(error_log_path());
    if (!log) return std::nullopt;
    // A log smaller than at the start was replaced meanwhile: all of it is this start's.
    std::string_view lines(*log);
    lines.remove_prefix(mark <= lines.size() ? mark : 0);
    if (lines.size() > most_log_read) lines.remove_prefix(lines.size() - most_log_read);
    auto finding = classify_error_log(lines);
    if (!finding) return std::nullopt;

    Diagnosis d{.cause = finding->cause, .subject = finding->subject};
    switch (d.cause) {
    case StartFailure::port_in_use:
        d = port_diagnosis(configured_port(),
                           port_holder(read_my_ini_value("bind-address"), configured_port()));
        break;
    case StartFailure::unknown_option:
        d.subject = my_ini_line_of(d.subject);
        break;
    case StartFailure::system_tables:
    case StartFailure::innodb_corruption:
        d.backup = last_backup_words();
        break;
    case StartFailure::disk_full: {
        FreeSpace space = free_space_of(data_dir());
        d.free_space = space.free;
        d.drive = space.drive;
        break;
    }
    case StartFailure::file_access:
        d.folder = data_dir();
        break;
    case StartFailure::data_folder_locked:
    case StartFailure::other:
        break;
    }
    return d;
}

Result<void> port_is_free() {
    const std::uint16_t port = configured_port();
    const std::optional<std::string> bind = read_my_ini_value("bind-address");
    std::optional<PortHolder> holder = port_holder(bind, port);
    for (int check = 1; holder && check < holder_checks; ++check) {
        std::this_thread::sleep_for(holder_recheck);
        holder = port_holder(bind, port);
    }
    if (!holder) return {};
    const Diagnosis d = port_diagnosis(port, holder);
    store_diagnosis(d);
    return fail(diagnosis_text(d, current_language()));
}

std::string failure_text(const Diagnosis& diagnosis, const std::string& technical) {
    return diagnosis_text(diagnosis, current_language()) + "\n" + technical;
}

void store_diagnosis(const Diagnosis& diagnosis) {
    // Best effort: the failure itself is told anyway.
    (void)replace_file_contents(start_failure_path(), render_diagnosis(diagnosis));
}

void clear_diagnosis() {
    delete_file(start_failure_path());
}

std::optional<Diagnosis> stored_diagnosis() {
    const std::string path = start_failure_path();
    if (file_size(path).value_or(largest_stored + 1) > largest_stored) return std::nullopt;
    auto text = read_file(path);
    if (!text) return std::nullopt;
    return parse_diagnosis(*text);
}
