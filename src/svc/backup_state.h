#pragma once
// backup-state.ini: what the last automatic backup did, written by every run, read by the tray,
// the Setup window and --status to tell the operator when backups have stopped working.
#include "base/result.h"
#include "i18n/language.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A good automatic backup older than this means the nightly task has stopped working: a day,
// and some room for a machine that was off at the hour the task runs.
inline constexpr int backup_late_hours = 26;

struct BackupRun {
    std::string time; // local end of the run, "YYYY-MM-DD HH:MM:SS"
    std::string file; // the new dump; empty when none was made
    std::uint64_t size = 0;
    std::string error;          // one line; empty when the run worked
    std::string last_good_time; // of the newest run that worked (this one, when it did)
    std::string last_good_file;

    bool operator==(const BackupRun&) const = default;
};

BackupRun parse_backup_run(std::string_view text);
std::string render_backup_run(const BackupRun& run);

// The stored state, or nothing when no run has written one (or it is not readable).
std::optional<BackupRun> load_backup_run();
// Records a run: the last good time and file are carried over from the stored state when this
// run failed. Replaces the file in one step, readable by every user.
Result<BackupRun> record_backup_run(std::string_view file, std::uint64_t size,
                                    std::string_view error);

// What the operator is told about the automatic backup.
struct BackupWarning {
    bool failed = false; // the last run failed: `error` says why
    std::string error;
    int days = 0; // otherwise: whole days since the last good backup (at least 1)
};

// Nothing while all is well: the last run worked within backup_late_hours of `now` (local).
std::optional<BackupWarning> backup_warning(const BackupRun& run, const SYSTEMTIME& now);

// "Automatic backup failed: <error>" or "No automatic backup for N days", in the language.
std::string backup_warning_text(const BackupWarning& warning, Lang lang);
// The same, short enough for the tray's tooltip.
std::string backup_warning_short_text(const BackupWarning& warning);
// "Last automatic backup: <time> (ok)", or the warning.
std::string automatic_backup_line(const BackupRun& run, const SYSTEMTIME& now);

// The local time now as "YYYY-MM-DD HH:MM:SS".
std::string local_time_text(const SYSTEMTIME& time);
