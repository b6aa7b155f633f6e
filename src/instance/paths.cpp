#include "instance/paths.h"

#include "base/files.h"
#include "base/text.h"

#include <windows.h>

std::string program_dir() {
    auto exe = executable_path();
    return exe ? parent_path(*exe) : std::string();
}

std::string data_root() {
    std::string program_data = "C:\\ProgramData";
    DWORD n = GetEnvironmentVariableW(L"ProgramData", nullptr, 0);
    if (n > 0) {
        std::wstring value(n, L'\0');
        n = GetEnvironmentVariableW(L"ProgramData", value.data(), n);
        value.resize(n);
        program_data = narrow(value);
    }
    return join_path(join_path(program_data, "KELTA Retail"), "MySQL");
}

std::string base_dir() {
    std::string program = program_dir();
    return program.empty() ? std::string() : join_path(program, "MySQL");
}

std::string mysql_program_path(std::string_view file_name) {
    return join_path(join_path(base_dir(), "bin"), std::string(file_name));
}

std::string data_dir() { return join_path(data_root(), "data"); }
std::string backups_dir() { return join_path(data_root(), "backups"); }
std::string my_ini_path() { return join_path(data_root(), "my.ini"); }
std::string error_log_path() { return join_path(data_root(), "error.log"); }
std::string init_sql_path() { return join_path(data_root(), "init.sql"); }
std::string settings_path() { return join_path(data_root(), "connection.ini"); }
std::string unsaved_settings_path() { return settings_path() + ".new"; }
std::string legacy_settings_path() { return join_path(data_root(), "connection.txt"); }
std::string activity_log_path() { return join_path(data_root(), "tray.log"); }
std::string backup_settings_path() { return join_path(data_root(), "backup.ini"); }
std::string backup_state_path() { return join_path(data_root(), "backup-state.ini"); }
std::string backup_list_path() {
    return join_path(data_root(), "backup-dumps.ini");
}
std::string automatic_backups_dir() { return join_path(backups_dir(), "daily"); }
std::string operation_lock_path() { return join_path(data_root(), "operation.lock"); }
std::string start_failure_path() { return join_path(data_root(), "start-failure.txt"); }
std::string restore_journal_path() { return join_path(data_root(), "restore-in-progress.ini"); }
std::string recovery_journal_path() { return join_path(data_root(), "rebuild-in-progress.ini"); }
std::string initialized_marker_path() { return join_path(data_dir(), "kelta-initialized.txt"); }
