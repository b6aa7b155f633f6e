#include "svc/backup_state.h"

#include "base/files.h"
#include "base/fill_in.h"
#include "base/text.h"
#include "i18n/tr.h"
#include "instance/paths.h"
#include "svc/backup_failures.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::string_view crlf = "\r\n";
constexpr std::uint64_t largest_state_file = 16384;
constexpr std::int64_t ticks_per_hour = 36'000'000'000;
constexpr std::size_t minute_length = 16; // "YYYY-MM-DD HH:MM": the minute is enough to read

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
        else if (pair.key == "switched_on")
            run.switched_on = pair.value;
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
    line("switched_on=", run.switched_on);
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
    const std::optional<BackupRun> before = load_backup_run();
    if (run.error.empty()) {
        run.last_good_time = run.time;
        run.last_good_file = run.file;
    } else if (before) {
        run.last_good_time = before->last_good_time;
        run.last_good_file = before->last_good_file;
    }
    if (before) run.switched_on = before->switched_on;
    if (auto written = replace_file_contents(backup_state_path(), render_backup_run(run)); !written)
        return fail(written.error());
    return run;
}

Result<void> note_backup_switch(bool on) {
    BackupRun run = load_backup_run().value_or(BackupRun{});
    SYSTEMTIME now{};
    GetLocalTime(&now);
    run.switched_on = on ? local_time_text(now) : std::string();
    return replace_file_contents(backup_state_path(), render_backup_run(run));
}

std::optional<BackupWarning> backup_warning(const BackupRun& run, std::optional<bool> task_present,
                                            const SYSTEMTIME& now) {
    using Kind = BackupWarning::Kind;
    // A task is expected only from a program that switched the backup on (install, Save).
    const bool switched_on = !run.switched_on.empty();
    if (switched_on && task_present == false) return BackupWarning{.kind = Kind::task_missing};
    if (!run.error.empty()) return BackupWarning{.kind = Kind::failed, .error = run.error};
    // Both times have one form, so the later one is the larger text.
    const std::string& since = std::max(run.last_good_time, run.switched_on);
    if (since.empty()) return std::nullopt;
    const auto from = ticks_of(since);
    const auto at = ticks_of(local_time_text(now));
    // A time that cannot be read is no proof of a backup.
    if (from && at && (*at - *from) / ticks_per_hour < backup_late_hours) return std::nullopt;
    return BackupWarning{.kind = Kind::late, .since = since.substr(0, minute_length)};
}

std::string backup_warning_text(const BackupWarning& warning, Lang lang) {
    switch (warning.kind) {
    case BackupWarning::Kind::failed:
        return std::string(translate(lang, "Automatic backup failed:", "自动备份失败：")) + " " +
               translate_failure(warning.error, lang);
    case BackupWarning::Kind::late:
        return fill_in(translate(lang, "No automatic backup since %1", "自 %1 以来没有自动备份"),
                       {warning.since});
    case BackupWarning::Kind::task_missing:
        break;
    }
    return std::string(
        translate(lang, "The automatic backup task is missing", "缺少自动备份的计划任务"));
}

std::string backup_warning_short_text(const BackupWarning& warning) {
    if (warning.kind == BackupWarning::Kind::failed)
        return std::string(tr("Automatic backup failed", "自动备份失败"));
    return backup_warning_text(warning, current_language());
}

std::optional<std::string> automatic_backup_line(const BackupRun& run,
                                                 std::optional<bool> task_present,
                                                 const SYSTEMTIME& now) {
    if (auto warning = backup_warning(run, task_present, now))
        return backup_warning_text(*warning, current_language());
    return last_good_line(run);
}

std::optional<std::string> last_good_line(const BackupRun& run) {
    if (run.last_good_time.empty()) return std::nullopt;
    return std::string(tr("Last automatic backup:", "上次自动备份：")) + " " +
           run.last_good_time.substr(0, minute_length) + " (" + std::string(tr("ok", "成功")) + ")";
}
