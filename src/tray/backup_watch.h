#pragma once
// The tray's watch over the automatic backup: the state file that every run writes is looked at
// with each refresh (its write time only, re-read when that changed), the Task Scheduler is asked
// now and then whether the backup task is still there, and a backup that failed, stopped coming
// or lost its task is told in the tooltip and in a balloon: the same warning at most every 12
// hours, a different one (a new failure) at once.
#include "svc/backup_state.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

// The balloon comes back no sooner than this, however long the warning stands.
inline constexpr ULONGLONG backup_balloon_interval_ms = 12ull * 60 * 60 * 1000;
// The Task Scheduler is asked again after this, and whenever backup.ini changed.
inline constexpr ULONGLONG backup_task_interval_ms = 10ull * 60 * 1000;

// The scheduler's answer, written by the thread that asks: unknown, missing or present.
enum class TaskAnswer : int { unknown, missing, present };

struct BackupWatch {
    FILETIME state_written{};    // backup-state.ini's write time when last read
    FILETIME settings_written{}; // backup.ini's
    std::optional<BackupRun> run;
    bool enabled = true; // settings that cannot be read count as on
    // Shared with the thread that asks, which may outlive the tray's window.
    std::shared_ptr<std::atomic<TaskAnswer>> task =
        std::make_shared<std::atomic<TaskAnswer>>(TaskAnswer::unknown);
    std::optional<ULONGLONG> task_asked_at; // tick count
    std::optional<ULONGLONG> warned_at;     // tick count of the last warning balloon
    std::string warned;                     // and its text
};

// Reads the files again when they changed and judges the backup now (not at all without an
// installed server); gives the tooltip's short warning (empty when all is well), and shows the
// warning balloon when one is due.
std::string watch_automatic_backup(HWND window, BackupWatch& watch, bool installed);

// Returns once no question to the Task Scheduler runs any more, which the tool's own time limit
// bounds: under Wine a child whose parent ended in the middle of its start never starts.
void wait_for_backup_task_checks();
