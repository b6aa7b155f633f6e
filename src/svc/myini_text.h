#pragma once
// The text of my.ini, apart from the file: building a new one, updating an administrator's file
// line by line, reading one option back, all as the server reads the file: the program writes
// into [mysqld], the server reads [mysqld], [server], [mysqld-5.7] and the group named after its
// service, and the last line of an option in any of them wins.
#include "config/settings.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct MyIniOption {
    std::string_view name;
    std::string value;
};

// basedir, port, bind-address, enable-named-pipe, socket, in this order.
using OwnedMyIniOptions = std::array<MyIniOption, 5>;

// A path as my.ini wants it: UTF-8 with forward slashes.
std::string my_ini_path_text(std::string_view path);

OwnedMyIniOptions owned_my_ini_options(const std::string& basedir,
                                       const ConnectionSettings& settings);

// The complete file for a fresh installation.
std::string new_my_ini_text(const OwnedMyIniOptions& owned, const std::string& data_dir,
                            const std::string& error_log);

// The existing text (any bytes) with every [mysqld] line of an owned option rewritten; an option
// the section lacks goes right under its first "[mysqld]" line, and a file without the section
// gets it at the end with the options. Every other line is kept byte for byte; CR LF after each.
std::string update_my_ini_text(std::string_view existing, const OwnedMyIniOptions& owned);

// The value the server takes for the option: its last line in a group the server reads, with end
// comments, quotes and escapes read as the server reads them.
std::optional<std::string> my_ini_value(std::string_view text, std::string_view name);
// The value the program wrote: the option's last line in [mysqld].
std::optional<std::string> my_ini_written_value(std::string_view text, std::string_view name);

// An option the program owns that another group sets to something else than [mysqld] does, after
// it: the server takes that value.
struct MyIniOverride {
    std::string group;   // as written, without the brackets
    std::string setting; // the line's option as written: "port=3310", or "skip-named-pipe"
    std::string ours;    // the value in [mysqld]
};
std::vector<MyIniOverride> my_ini_overrides(std::string_view text);

// The text with the first line that reads `line` (blanks around it aside) made a comment that
// keeps it: "# set aside <when>, unknown to this MySQL: <line>". Every other byte stays; nothing
// when no line reads so.
std::optional<std::string> set_aside_my_ini_line(std::string_view text, std::string_view line,
                                                 std::string_view when);
