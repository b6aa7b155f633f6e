#include "svc/backup_state.h"

#include "base/files.h"
#include "base/fill_in.h"
#include "base/text.h"
#include "i18n/tr.h"
#include "instance/paths.h"

#include <cstdio>

namespace {

constexpr std::string_view crlf = "\r\n";
constexpr std::uint64_t largest_state_file = 16384;
constexpr std::int64_t ticks_per_hour = 36'000'000'000;
constexpr int hours_per_day = 24;

// "YYYY-MM-DD HH:MM:SS" into a point in time; both sides of a comparison are local times, so
// the zone does not matter.
std::optional<std::int64_t> ticks_of(std::string_view text) {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    const std::string copy(text);
    if (std::sscanf(copy.c_str(), "%4u-%2u-%2u %2u:%2u:%2u", &year, &month, &day, &hour, &minute,
                    &second) != 6)
        return std::nullopt;
    const SYSTEMTIME time{.wYear = static_cast<WORD>(year),
                          .wMonth = static_cast<WORD>(month),
                          .wDay = static_cast<WORD>(day),
                          .wHour = static_cast<WORD>(hour),
                          .wMinute = static_cast<WORD>(minute),
                          .wSecond = static_cast<WORD>(second)};
    FILETIME ticks{};
    if (!SystemTimeToFileTime(&time, &ticks)) return std::nullopt;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(ticks.dwHighDateTime) << 32) |
                                     ticks.dwLowDateTime);
}

// A state line holds one line: an error text of several becomes one, joined by " / ".
std::string one_line(std::string_view text) {
    std::string line;
    for (std::string_view part : split_lines(text)) {
        if (trim(part).empty()) continue;
        if (!line.empty()) line += " / ";
        line += trim(part);
    }
    return line;
}

} // namespace

std::string local_time_text(const SYSTEMTIME& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    return text;
}

BackupRun parse_backup_run(std::string_view text) {
    BackupRun run;
    for (const KeyValue& pair : key_value_lines(text)) {
        if (pair.key == "time")
            run.time = pair.value;
        else if (pair.key == "file")
            run.file = pair.value;
        else if (pair.key == "size")
            run.size = parse_u64(pair.value).value_or(0);
        else if (pair.key == "error")
            run.error = pair.value;
        else if (pair.key == "last_good_time")
            run.last_good_time = pair.value;
        else if (pair.key == "last_good_file")
            run.last_good_file = pair.value;
    }
    return run;
}

std::string render_backup_run(const BackupRun& run) {
    std::string text;
    auto line = [&](std::string_view head, std::string_view value = {}) {
        text.append(head).append(value).append(crlf);
    };
    line("; KELTA Retail MySQL - the last automatic backup");
    line("[backup]");
    line("time=", run.time);
    line("result=", run.error.empty() ? "ok" : "failed");
    line("file=", run.file);
    line("size=", std::to_string(run.size));
    line("error=", run.error);
    line("last_good_time=", run.last_good_time);
    line("last_good_file=", run.last_good_file);
    return text;
}

std::optional<BackupRun> load_backup_run() {
    const std::string path = backup_state_path();
    const auto size = file_size(path);
    if (!size || *size > largest_state_file) return std::nullopt;
    auto text = read_text_file(path);
    if (!text) return std::nullopt;
    return parse_backup_run(*text);
}

Result<BackupRun> record_backup_run(std::string_view file, std::uint64_t size,
                                    std::string_view error) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    BackupRun run{.time = local_time_text(now),
                  .file = std::string(file),
                  .size = size,
                  .error = one_line(error)};
    if (run.error.empty()) {
        run.last_good_time = run.time;
        run.last_good_file = run.file;
    } else if (auto before = load_backup_run()) {
        run.last_good_time = before->last_good_time;
        run.last_good_file = before->last_good_file;
    }
    if (auto written = replace_file_contents(backup_state_path(), render_backup_run(run)); !written)
        return fail(written.error());
    return run;
}

std::optional<BackupWarning> backup_warning(const BackupRun& run, const SYSTEMTIME& now) {
    if (!run.error.empty()) return BackupWarning{.failed = true, .error = run.error};
    const auto good = ticks_of(run.last_good_time);
    const auto at = ticks_of(local_time_text(now));
    // A state without a good time, or one that cannot be read, is no proof of a backup.
    const std::int64_t hours = good && at ? (*at - *good) / ticks_per_hour : backup_late_hours;
    if (hours < backup_late_hours) return std::nullopt;
    return BackupWarning{.days = std::max(1, static_cast<int>(hours / hours_per_day))};
}

std::string backup_warning_text(const BackupWarning& warning, Lang lang) {
    if (warning.failed)
        return std::string(translate(lang, "Automatic backup failed:", "自动备份失败：")) + " " +
               warning.error;
    if (warning.days == 1)
        return std::string(
            translate(lang, "No automatic backup for more than a day", "已经超过一天没有自动备份"));
    return fill_in(translate(lang, "No automatic backup for %1 days", "已经 %1 天没有自动备份"),
                   {std::to_string(warning.days)});
}

std::string backup_warning_short_text(const BackupWarning& warning) {
    if (warning.failed) return std::string(tr("Automatic backup failed", "自动备份失败"));
    return backup_warning_text(warning, current_language());
}

std::string automatic_backup_line(const BackupRun& run, const SYSTEMTIME& now) {
    if (auto warning = backup_warning(run, now))
        return backup_warning_text(*warning, current_language());
    // The minute is enough for the operator.
    return std::string(tr("Last automatic backup:", "上次自动备份：")) + " " +
           run.last_good_time.substr(0, 16) + " (" + std::string(tr("ok", "成功")) + ")";
}
