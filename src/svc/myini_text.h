#pragma once
// The text of my.ini, apart from the file: building a new one, updating an administrator's file
// line by line, reading one option back, all as the server reads the file: only [mysqld] counts,
// and the last line of an option wins.
#include "config/settings.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

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

// The value the server takes for the option: its last line in a [mysqld] section, with end
// comments, quotes and escapes read as the server reads them.
std::optional<std::string> my_ini_value(std::string_view text, std::string_view name);
