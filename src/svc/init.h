#pragma once
// A fresh data directory, made by mysqld itself with an init file that sets the root password
// and creates the application database and account.
#include "base/result.h"
#include "config/settings.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// The statements that create or update the application database and account; with previous
// settings whose account differs, the old account is dropped.
std::string account_sql(const ConnectionSettings& settings,
                        const std::optional<ConnectionSettings>& previous);

// The root password is spliced into SQL and never validated elsewhere: refuse quotes,
// backticks, backslashes and control characters before anything changes.
Result<void> check_root_password(std::string_view root_password);

// The server's initialization writes a few hundred megabytes of tablespace and log files: on
// a slow disk that takes minutes, but not ten.
inline constexpr std::chrono::seconds initialize_time_limit{600};

// Nothing to do for a data directory that is initialized (data_dir_initialized). Otherwise what
// is there is set aside as data.incomplete-<local time>, mysqld --initialize-insecure runs with
// an init file that sets the root password and makes the database and account, and the marker
// (initialized_marker_path) is written once it has finished. The caller saves the settings first.
Result<void> initialize_data_dir(const std::string& basedir, const ConnectionSettings& settings);
