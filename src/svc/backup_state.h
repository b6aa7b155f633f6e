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
    // When the automatic backup was last switched on (install, or Save on the Backup & restore
    // page); empty while it is off. Without a run since then, the backup is late from here.
    std::string switched_on;

    bool operator==(const BackupRun&) const = default;
};

BackupRun parse_backup_run(std::string_view text);
std::string render_backup_run(const BackupRun& run);

// The stored state, or nothing when no run has written one (or it is not readable).
std::optional<BackupRun> load_backup_run();
// Records a run: the last good time and file, and the time the backup was switched on, are
// carried over from the stored state when this run failed. Replaces the file in one step,
// readable by every user.
Result<BackupRun> record_backup_run(std::string_view file, std::uint64_t size,
                                    std::string_view error);
// Notes the automatic backup switched on (the time now: install or Save registered its task
// afresh) or off.
Result<void> note_backup_switch(bool on);

// What the operator is told about the automatic backup that is switched on.
struct BackupWarning {
    enum class Kind : std::uint8_t { failed, late, task_missing };
    Kind kind = Kind::failed;
    std::string error; // failed: why, in English
    std::string since; // late: "YYYY-MM-DD HH:MM", the last good backup or the switch-on
};

// Nothing while all is well. The task that runs the backup missing after the backup was switched
// on comes first (nothing would ever run again), then a last run that failed, then no good backup
// within backup_late_hours of `now` (local) since the last good one or since the switch-on,
// whichever is later. `task_present` is nothing while the Task Scheduler has not answered.
std::optional<BackupWarning> backup_warning(const BackupRun& run, std::optional<bool> task_present,
                                            const SYSTEMTIME& now);

// "Automatic backup failed: <error>", "No automatic backup since <time>" or "The automatic
// backup task is missing", in the language.
std::string backup_warning_text(const BackupWarning& warning, Lang lang);
// The same, short enough for the tray's tooltip.
std::string backup_warning_short_text(const BackupWarning& warning);
// "Last automatic backup: <time> (ok)"; nothing before the first good run.
std::optional<std::string> last_good_line(const BackupRun& run);
// The warning, or the last good line.
std::optional<std::string> automatic_backup_line(const BackupRun& run,
                                                 std::optional<bool> task_present,
                                                 const SYSTEMTIME& now);

// The local time now as "YYYY-MM-DD HH:MM:SS".
std::string local_time_text(const SYSTEMTIME& time);
