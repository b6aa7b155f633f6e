#pragma once
// Reading the argument list: the mode, its modifiers and operands. Pure functions over the list;
// every comparison is exact and case-sensitive.
#include "svc/install.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using Arguments = std::vector<std::string>;

bool is_quiet(const Arguments& arguments);

// The first element of at least two characters that begins with "--" and is not one of the
// modifiers --quiet, --config, --firewall, --limit, --if-idle.
std::optional<std::string> find_mode(const Arguments& arguments);

// The element after the first occurrence of `name`, unless it is missing or begins with "--".
std::optional<std::string> option_value(const Arguments& arguments, const std::string& name);

// The value of the mode, or else the first element of the list that does not begin with "--".
std::optional<std::string> file_argument(const Arguments& arguments, const std::string& mode);

// Where the file names stand that the mode reads or writes: the file of --backup, --restore or
// --recover, and the --config file.
std::vector<std::size_t> file_argument_positions(const Arguments& arguments);

// --limit: an unsigned 64-bit decimal with an optional "+"; anything else means no limit.
std::optional<std::uint64_t> rotate_limit(const Arguments& arguments);

// --firewall: no value keeps the settings' choice, "off" is off, any other value is on.
FirewallChoice firewall_choice(const Arguments& arguments);

// --setup page word: 0 Overview, 1 Connection, 2 Backup & restore, 3 General.
std::uint8_t setup_page(const Arguments& arguments);
