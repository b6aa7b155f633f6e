#pragma once
// One line of a MySQL option file (my.ini) read the way the server reads it: "[group]" lines,
// comment lines, "name = value" with blanks around the "=", end comments after a "#" outside
// quotes, one pair of quotes around a value, and backslash escapes. The server reads bytes, so
// these do too: a line need not be UTF-8.
#include <optional>
#include <string>
#include <string_view>

// The group a "[name]" line opens (text up to the first "]", trailing blanks dropped), or nothing
// for any other line.
std::optional<std::string> option_group(std::string_view line);

// Whether the server reads the group's options (it compares group names ignoring case).
bool is_server_group(std::string_view group);

struct OptionSetting {
    std::string name;                 // blanks around it dropped
    std::optional<std::string> value; // as the server reads it; nothing for a bare "name"
};

// The option a line sets, or nothing for blank lines, comments, groups and "!" directives.
std::optional<OptionSetting> option_setting(std::string_view line);

// The name as the server matches it: "_" and "-" alike; "loose-" and the enable-, disable- and
// skip- forms of a switch name the same option.
std::string option_key(std::string_view name);

// The value as it must be written for the server to read back exactly `value`: as it is, or in
// double quotes with backslash escapes when it holds a "#", a backslash, a quote at its start or
// blanks at its ends.
std::string option_value_text(std::string_view value);
