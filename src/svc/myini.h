#pragma once
// my.ini, the server's configuration file: written at install and when the port or listening
// address changes, updated in place so that an administrator's own options survive.
#include "base/result.h"
#include "config/settings.h"

#include <cstdint>
#include <optional>
#include <string>

// Writes the five options the program owns (basedir, port, bind-address, enable-named-pipe,
// socket) into [mysqld]; a missing or unreadable file is replaced by a complete new one.
Result<void> write_my_ini(const std::string& basedir, const ConnectionSettings& settings);
// The value the server takes for the option from [mysqld], or nothing.
std::optional<std::string> read_my_ini_value(const std::string& name);
// The port option, or 3307.
std::uint16_t configured_port();
