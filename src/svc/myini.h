#pragma once
// my.ini, the server's configuration file: written at install and when the port or listening
// address changes, updated in place so that an administrator's own options survive.
#include "base/result.h"
#include "config/settings.h"
#include "i18n/language.h"
#include "svc/myini_text.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Writes the five options the program owns (basedir, port, bind-address, enable-named-pipe,
// socket) into [mysqld]; a missing or unreadable file is replaced by a complete new one.
Result<void> write_my_ini(const std::string& basedir, const ConnectionSettings& settings);
// The value the server takes for the option (from [mysqld], or a group it reads after it), or
// nothing.
std::optional<std::string> read_my_ini_value(const std::string& name);
// The options the program owns that another group of my.ini sets otherwise.
std::vector<MyIniOverride> read_my_ini_overrides();
// As the operator reads it: "my.ini: [server] sets port=3310, which the server uses instead of
// 3307".
std::string my_ini_override_text(const MyIniOverride& found, Lang lang);
// Sets the my.ini line that MySQL did not know aside as a dated comment, after a copy of the file
// as it was (my.ini.before-<local time>); gives that copy's path. Nothing else in the file changes.
Result<std::string> set_aside_unknown_option(const std::string& line);
// The port the server uses, or 3307.
std::uint16_t configured_port();
// The port the program wrote into [mysqld], or 3307: what tells whether my.ini must be written.
std::uint16_t written_port();
