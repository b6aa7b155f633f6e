#pragma once
// What Windows' mysqld.exe would take from its defaults file and command line, turned into the
// options of the Linux server behind the stand-in: Windows paths mapped into the prefix, the
// named pipe handed to the agent (which maps it to a Unix socket), Windows-only options dropped.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace bench {

struct Option {
    std::string name;
    std::optional<std::string> value;
};

// The options of the named groups in an option file's text, in file order, read the way MySQL
// 5.7 reads them: "#" and ";" lines, end comments, quotes and backslash escapes. An option
// before any group is an error, as for 5.7.
std::optional<std::vector<Option>> parse_option_file(const std::string& text,
                                                     const std::string& path,
                                                     const std::vector<std::string>& groups,
                                                     std::string& error);

struct ServerPlan {
    std::vector<std::pair<std::string, std::optional<std::string>>> options; // for the Linux server
    std::optional<std::string> pipe; // the named pipe, when named pipes are enabled
    std::wstring error_log;          // where the stand-in writes its own messages
};

// Builds the Linux server's options from the Windows ones. `program` is mysqld.exe's own path
// (basedir and datadir default to its folder's parent and that parent's "data"). On the console
// the error log goes to standard error, as 5.7's --console does.
std::optional<ServerPlan> plan_server(const std::vector<Option>& options,
                                      const std::wstring& program, bool console,
                                      std::string& error);

// The Unix path for a Windows path; a path whose last parts do not exist yet is mapped through
// its nearest existing folder.
std::optional<std::string> map_windows_path(const std::string& path);

bool is_windows_absolute(const std::string& value);

} // namespace bench
