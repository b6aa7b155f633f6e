#pragma once
// Command lines: splitting by the Windows rules and quoting so that they split back exactly.
#include <string>
#include <string_view>
#include <vector>

// The arguments of a whole process command line (CommandLineToArgvW rules), without its first
// element, the program path.
std::vector<std::string> split_arguments(const std::wstring& command_line);

// The part of a whole process command line after its first element, the program path, exactly as
// it was written (the blanks before it skipped): what a program hands on unchanged. Inline, so
// that the console companion needs no code of the library.
inline std::wstring_view command_line_tail(std::wstring_view command_line) {
    // The program element follows simpler rules than the others: a double quote runs to the
    // next one, with no escapes; otherwise it ends at the first blank or tab.
    std::size_t end = 0;
    if (command_line.starts_with(L'"')) {
        end = command_line.find(L'"', 1);
        end = end == std::wstring_view::npos ? command_line.size() : end + 1;
    }
    end = command_line.find_first_of(L" \t", end);
    if (end == std::wstring_view::npos) return {};
    command_line.remove_prefix(end);
    const std::size_t first = command_line.find_first_not_of(L" \t");
    if (first == std::wstring_view::npos) return {};
    command_line.remove_prefix(first);
    return command_line;
}

// Quotes one argument so that CommandLineToArgvW and the C runtime give it back unchanged:
// an argument without blank, tab or double quote (and not empty) stays as it is; otherwise it is
// wrapped in double quotes, inner quotes are escaped and backslashes before a quote or the end
// are doubled.
std::string quote_argument(std::string_view argument);

// The arguments quoted one by one and joined with single blanks.
std::string quote_arguments(const std::vector<std::string>& arguments);
