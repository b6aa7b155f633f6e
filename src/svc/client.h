#pragma once
// The MySQL client programs, logged in as root over the server's named pipe with the password
// in the environment: the only way the program changes anything inside the server.
#include "base/child.h"
#include "base/result.h"

#include <chrono>
#include <string>
#include <string_view>

// The account and FLUSH statements run in moments; a client still busy after two minutes waits
// for a server that will not answer.
inline constexpr std::chrono::seconds root_client_time_limit{120};

// Feeds the SQL to mysql.exe; a failure reads "mysql (root): " and the client's last lines.
Result<void> run_sql_as_root(const std::string& root_password, std::string_view sql);

// Both refuse a program folder that others may change (check_program_folder).
// mysql.exe or mysqldump.exe prepared with the fixed arguments and MYSQL_PWD; the caller adds
// its own arguments and streams. "MySQL is not running" unless the server accepts
// connections.
Result<ChildProcess> client_command(std::string_view program_file, const std::string& root_password);
