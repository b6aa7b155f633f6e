#pragma once
// The text of my.ini, apart from the file: building a new one, updating an administrator's file
// line by line, reading one option back.
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

// The existing text with each owned option's first line rewritten, or inserted under [mysqld]
// (appended when there is none); every other line kept; CR LF after every line.
std::string update_my_ini_text(std::string_view existing, const OwnedMyIniOptions& owned);

// The value of the first line "name=..." (blanks around it ignored), in whatever section.
std::optional<std::string> my_ini_value(std::string_view text, std::string_view name);
