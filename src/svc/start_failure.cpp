#include "svc/start_failure.h"

#include "base/child.h"
#include "base/files.h"
#include "base/fill_in.h"
#include "base/text.h"
#include "i18n/language.h"
#include "i18n/tr.h"
#include "instance/paths.h"
#include "svc/backup_state.h"
#include "svc/dump_list.h"
#include "svc/last_backup.h"
#include "svc/myini.h"

#include <windows.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

constexpr std::uint64_t most_log_read = 1 << 20;
constexpr std::uint64_t largest_stored = 16384;
constexpr std::string_view ready_mark = "ready for connections";
constexpr std::int64_t seconds_from_1601_to_1970 = 11644473600;
constexpr std::int64_t file_time_units_per_second = 10000000;
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

// Now, in the form MySQL 5.7 stamps its log lines with (UTC), to the second.
std::string utc_now_text() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond);
    return text;
}

// Whether the server wrote "ready for connections" to error.log after the moment.
bool ready_since(std::int64_t moment) {
    auto log = read_file_tail(error_log_path(), most_log_read);
    if (!log) return false;
    for (std::string_view line : split_lines(*log))
        if (line.find(ready_mark) != std::string_view::npos)
            if (auto stamped = log_line_time(line); stamped && *stamped > moment) return true;
    return false;
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
    case StartFailure::address_not_local:
        d.subject = read_my_ini_value("bind-address").value_or("");
        break;
    case StartFailure::data_folder_locked:
    case StartFailure::cannot_run:
    case StartFailure::other:
        break;
    }
    return d;
}

std::optional<Diagnosis> cannot_run_diagnosis(unsigned long exit_status) {
    if (!cannot_run_status(exit_status)) return std::nullopt;
    return Diagnosis{.cause = StartFailure::cannot_run, .subject = exit_status_text(exit_status)};
}

std::optional<Diagnosis> program_cannot_run() {
    // --version reads nothing and changes nothing; the loader refuses the program before that.
    auto ran = run_hidden_to_exit(mysql_program_path("mysqld.exe"), {"--no-defaults", "--version"});
    if (!ran) return std::nullopt;
    return cannot_run_diagnosis(*ran);
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

void store_diagnosis(Diagnosis diagnosis) {
    if (diagnosis.time.empty()) diagnosis.time = utc_now_text();
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

std::optional<Diagnosis> current_diagnosis(bool server_running) {
    if (server_running) return std::nullopt;
    auto diagnosis = stored_diagnosis();
    if (!diagnosis) return std::nullopt;
    if (auto failed = log_line_time(diagnosis->time); failed && ready_since(*failed))
        return std::nullopt;
    return diagnosis;
}

std::string diagnosis_local_time(const Diagnosis& diagnosis) {
    const auto seconds = log_line_time(diagnosis.time);
    if (!seconds) return {};
    const std::int64_t units = (*seconds + seconds_from_1601_to_1970) * file_time_units_per_second;
    const FILETIME utc{.dwLowDateTime = static_cast<DWORD>(units),
                       .dwHighDateTime = static_cast<DWORD>(units >> 32)};
    SYSTEMTIME universal{}, local{};
    if (!FileTimeToSystemTime(&utc, &universal) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return {};
    return local_time_text(local);
}

std::string dated_diagnosis_text(const Diagnosis& diagnosis, Lang lang) {
    const std::string text = diagnosis_text(diagnosis, lang);
    const std::string when = diagnosis_local_time(diagnosis);
    if (when.empty()) return text;
    // To the minute: the seconds tell the operator nothing more.
    return fill_in(translate(lang, "Start on %1 failed: %2", "%1 启动失败：%2"),
                   {when.substr(0, when.rfind(':')), text});
}
