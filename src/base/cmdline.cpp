#include "base/cmdline.h"

#include "base/text.h"

#include <windows.h>
#include <shellapi.h>

std::vector<std::string> split_arguments(const std::wstring& command_line) {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(command_line.c_str(), &count);
    if (!argv) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(narrow(argv[i]));
    LocalFree(argv);
    return arguments;
}

std::string quote_argument(std::string_view argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos)
        return std::string(argument);
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

std::string quote_arguments(const std::vector<std::string>& arguments) {
    std::string joined;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) joined += ' ';
        joined += quote_argument(arguments[i]);
    }
    return joined;
}
