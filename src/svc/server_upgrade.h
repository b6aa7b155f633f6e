#pragma once
// mysql_upgrade after the server's programs changed: MySQL 5.7 needs its system tables brought in
// line with a new server version before the server is relied on.
#include "base/result.h"

#include <chrono>
#include <optional>
#include <string>

// It checks every table of every database: on a shop's database minutes, not ten.
inline constexpr std::chrono::seconds server_upgrade_time_limit{600};

// The server's version from mysqld.exe's version resource, "5.7.29"; nothing when it has none.
std::optional<std::string> server_version();

// A data folder the server just made needs no upgrade: it says so as mysql_upgrade would
// (mysql_upgrade_info), so that only a later change of the server's version runs it.
void mark_data_upgraded();

// When the data folder was last upgraded with another version than the server's, or does not
// say, runs mysql_upgrade as root over the pipe (the server must run), restarts the server as
// MySQL asks after it, and logs it in tray.log. A failure gives "mysql_upgrade failed: " and the
// tool's last lines.
Result<void> upgrade_server_data(const std::string& root_password);
