#pragma once
// The tray's watch over the automatic backup: the state file that every run writes is looked at
// with each refresh (its write time only, re-read when that changed), and a backup that failed
// or stopped coming is told in the tooltip and in a balloon: the same warning at most every 12
// hours, a different one (a new failure) at once.
#include "svc/backup_state.h"

#include <windows.h>

#include <optional>
#include <string>

// The balloon comes back no sooner than this, however long the warning stands.
inline constexpr ULONGLONG backup_balloon_interval_ms = 12ull * 60 * 60 * 1000;

struct BackupWatch {
    FILETIME state_written{};    // backup-state.ini's write time when last read
    FILETIME settings_written{}; // backup.ini's
    std::optional<BackupRun> run;
    bool enabled = true;
    std::optional<ULONGLONG> warned_at; // tick count of the last warning balloon
    std::string warned;                 // and its text
};

// Reads the files again when they changed and judges the backup now; gives the tooltip's short
// warning (empty when all is well), and shows the warning balloon when one is due.
std::string watch_automatic_backup(HWND window, BackupWatch& watch);
