#pragma once
// InstancePaths, where the instance lives: the MySQL programs beside the executable, everything
// the instance writes under ProgramData\KELTA Retail\MySQL. Computed afresh on every call;
// nothing is created.
#include "base/system_paths.h"

#include <string>
#include <string_view>

inline constexpr std::string_view service_name = "KeltaMySQL57";
// The server's named pipe: the `socket` value of my.ini and the clients' --socket=.
inline constexpr std::string_view pipe_name = "KELTA_MYSQL57";

std::string program_dir(); // empty when unknown
std::string data_root();
std::string base_dir(); // empty when program_dir is unknown
std::string mysql_program_path(std::string_view file_name);
std::string data_dir();
std::string backups_dir();
std::string my_ini_path();
std::string error_log_path();
std::string init_sql_path();
std::string settings_path();
// connection.ini.new: a save on its way to connection.ini.
std::string unsaved_settings_path();
std::string legacy_settings_path();
std::string activity_log_path();
// The automatic backup: its settings (backup.ini), the outcome of its last run, the list of the
// dumps it made, and the folder its dumps go to unless backup.ini names another.
std::string backup_settings_path();
std::string backup_state_path();
std::string backup_list_path();
std::string automatic_backups_dir();
// The machine-wide lock of the operations that change the instance: a file held open.
std::string operation_lock_path();
// Why the last start failed, kept until the next start.
std::string start_failure_path();
// A restore under way: written before it changes data, deleted when it has finished.
std::string restore_journal_path();
// A rebuild from a backup under way: written before the data directory is set aside, deleted once
// the backup is restored into the new one.
std::string recovery_journal_path();
// Written into the data directory once an initialization has finished.
std::string initialized_marker_path();
