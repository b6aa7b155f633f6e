#pragma once
// Command lines: splitting by the Windows rules and quoting so that they split back exactly.
#include <string>
#include <string_view>
#include <vector>

// The arguments of a whole process command line (CommandLineToArgvW rules), without its first
// element, the program path.
std::vector<std::string> split_arguments(const std::wstring& command_line);

// Quotes one argument so that CommandLineToArgvW and the C runtime give it back unchanged:
// an argument without blank, tab or double quote (and not empty) stays as it is; otherwise it is
// wrapped in double quotes, inner quotes are escaped and backslashes before a quote or the end
// are doubled.
std::string quote_argument(std::string_view argument);

// The arguments quoted one by one and joined with single blanks.
std::string quote_arguments(const std::vector<std::string>& arguments);
