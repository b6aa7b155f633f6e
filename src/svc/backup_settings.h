#pragma once
// BackupSettings: when the nightly automatic backup runs, how many dumps it keeps and where they
// go; kept in backup.ini in the data folder, readable by every user (it holds no secret).
#include "base/result.h"

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::uint16_t default_backups_kept = 7;
inline constexpr std::uint16_t most_backups_kept = 365;

struct BackupSettings {
    bool enabled = true;
    std::string time = "02:30"; // local, HH:MM
    std::uint16_t keep = default_backups_kept;
    std::string folder;  // where the dumps go: automatic_backups_dir() unless set
    std::string copy_to; // a second folder (a USB drive, a share) for a copy; empty for none

    bool operator==(const BackupSettings&) const = default;
};

// The defaults, with the folder in the data root.
BackupSettings default_backup_settings();

// The reader: the rules of connection.ini; a key that is missing keeps its default, a value the
// backup could not work with is an error naming `path`, the key and the value (a setting read
// wrongly could switch a disabled backup back on, or drop its copy).
Result<BackupSettings> parse_backup_settings(std::string_view text, std::string_view path);
// The file's exact content as save_backup_settings writes it.
std::string render_backup_settings(const BackupSettings& settings);

// The first value the backup could not work with, in the operator's language.
Result<void> validate_backup_settings(const BackupSettings& settings);

// backup.ini, or the defaults when there is none. A file that is there but cannot be read (not
// UTF-8 text, too large, not the administrators' own, set aside as untrusted) or holds a value
// that cannot be used is an error.
Result<BackupSettings> load_backup_settings();
// Checks, then replaces backup.ini in one step.
Result<void> save_backup_settings(const BackupSettings& settings);

// Registers the nightly backup task at the settings' time, or removes it when they switch the
// automatic backup off. The error reads "Backup task: <reason>".
Result<void> schedule_automatic_backup(const BackupSettings& settings);
// At install: the task by the stored backup.ini (kept from an earlier install), and its switch
// noted in the state file. A backup.ini that cannot be read leaves the task as it is, and says
// why ("Backup task: <reason>").
Result<void> schedule_stored_backup();
// Checks the program's folder (the task runs it as SYSTEM) and the data folder, makes and checks
// the dump folders (check_dump_folder), schedules the task by the settings, then saves them and
// notes in the state file that they switch the backup on (or off). Gives the warnings of folders
// that keep no access rights (one a line; empty for none).
Result<std::string> apply_backup_settings(const BackupSettings& settings);

// "HH:MM" with 00 to 23 hours and 00 to 59 minutes.
bool is_time_of_day(std::string_view text);
