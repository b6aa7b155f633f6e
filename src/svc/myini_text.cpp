#include "svc/myini_text.h"

#include "base/text.h"
#include "svc/paths.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::string_view crlf = "\r\n";
constexpr std::string_view server_section = "[mysqld]";

// Only written into a new file: an administrator's later changes to them are left alone.
constexpr std::string_view fresh_file_defaults[] = {
    "character-set-server=utf8mb4",
    "collation-server=utf8mb4_unicode_ci",
    "default-storage-engine=InnoDB",
    "sql_mode=STRICT_TRANS_TABLES,NO_ENGINE_SUBSTITUTION",
    "explicit_defaults_for_timestamp=1",
    "skip-name-resolve",
    "max_connections=100",
    "innodb_buffer_pool_size=128M",
};

std::string option_line(const MyIniOption& option) {
    return std::string(option.name) + "=" + option.value;
}

std::string join_lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text.append(line).append(crlf);
    return text;
}

} // namespace

std::string my_ini_path_text(std::string_view path) {
    std::string text = lossy_utf8(path);
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

OwnedMyIniOptions owned_my_ini_options(const std::string& basedir,
                                       const ConnectionSettings& settings) {
    return {{
        {"basedir", my_ini_path_text(basedir)},
        {"port", std::to_string(settings.port)},
        {"bind-address", settings.bind},
        {"enable-named-pipe", "1"},
        {"socket", std::string(pipe_name)},
    }};
}

std::string new_my_ini_text(const OwnedMyIniOptions& owned, const std::string& data_dir,
                            const std::string& error_log) {
    std::vector<std::string> lines{std::string(server_section)};
    for (const auto& option : owned)
        lines.push_back(option_line(option));
    lines.push_back("datadir=" + my_ini_path_text(data_dir));
    lines.push_back("log-error=" + my_ini_path_text(error_log));
    lines.insert(lines.end(), std::begin(fresh_file_defaults), std::end(fresh_file_defaults));
    return join_lines(lines);
}

std::string update_my_ini_text(std::string_view existing, const OwnedMyIniOptions& owned) {
    std::vector<std::string> lines;
    for (auto line : split_lines(existing))
        lines.emplace_back(line);
    for (const auto& option : owned) {
        // Matched as my_ini_value matches (name and "=" together), so the line written here is
        // the one that configured_port reads back.
        const std::string prefix = std::string(option.name) + "=";
        auto found = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return trim_start(line).starts_with(prefix);
        });
        if (found != lines.end()) {
            *found = option_line(option);
            continue;
        }
        auto section = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
            return trim(line) == server_section;
        });
        if (section == lines.end())
            lines.push_back(option_line(option));
        else
            lines.insert(section + 1, option_line(option));
    }
    return join_lines(lines);
}

std::optional<std::string> my_ini_value(std::string_view text, std::string_view name) {
    const std::string prefix = std::string(name) + "=";
    for (auto line : split_lines(text)) {
        std::string_view trimmed = trim(line);
        if (trimmed.starts_with(prefix)) return std::string(trim(trimmed.substr(prefix.size())));
    }
    return std::nullopt;
}
