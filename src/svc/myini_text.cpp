#include "svc/myini_text.h"

#include "base/text.h"
#include "instance/paths.h"
#include "svc/option_file.h"

#include <algorithm>
#include <cctype>
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

std::string option_line(std::string_view name, std::string_view value) {
    return std::string(name) + "=" + option_value_text(value);
}

std::string option_line(const MyIniOption& option) {
    return option_line(option.name, option.value);
}

std::string join_lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text.append(line).append(crlf);
    return text;
}

// The file's lines as bytes: the server never asks for UTF-8, so neither does the editor, and a
// comment typed in an old editor's code page survives. Notepad's byte-order mark goes: the
// server would read it as part of the first line and miss the "[mysqld]" behind it.
std::vector<std::string> lines_of(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<std::string> lines;
    for (auto line : split_lines(text))
        lines.emplace_back(line);
    return lines;
}

bool same_ascii_letters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The groups the server reads as the program's service; it matches their names ignoring case.
bool is_read_by_server(std::string_view group) {
    for (std::string_view read : {std::string_view("mysqld"), std::string_view("server"),
                                  std::string_view("mysqld-5.7"), service_name})
        if (same_ascii_letters(group, read)) return true;
    return false;
}

// Calls `visit` with the index, option key and group of every option line in a group that
// `counts`, in the order of the file.
template <class Counts, class Visit>
void for_each_option(const std::vector<std::string>& lines, Counts counts, Visit visit) {
    std::optional<std::string> group;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (auto opened = option_group(lines[i])) {
            group = *opened;
        } else if (group && counts(*group)) {
            if (auto setting = option_setting(lines[i]))
                visit(i, option_key(setting->name), *group);
        }
    }
}

// Every option line in a [mysqld] section: the ones the program writes.
template <class Visit>
void for_each_server_option(const std::vector<std::string>& lines, Visit visit) {
    for_each_option(
        lines, is_server_group,
        [&](size_t index, const std::string& key, const std::string&) { visit(index, key); });
}

// The last line that sets the option in a group that `counts`.
template <class Counts>
std::optional<size_t> last_line_of(const std::vector<std::string>& lines, std::string_view name,
                                   Counts counts) {
    const std::string wanted = option_key(name);
    std::optional<size_t> last;
    for_each_option(lines, counts, [&](size_t index, const std::string& key, const std::string&) {
        if (key == wanted) last = index;
    });
    return last;
}

// The value a line gives its option as the server takes it: a switch named with "skip-" or
// "disable-" is off, one named alone is on.
std::string value_taken(const OptionSetting& setting) {
    std::string name = setting.name;
    std::replace(name.begin(), name.end(), '_', '-');
    if (name.starts_with("loose-")) name.erase(0, 6);
    if (name.starts_with("skip-") || name.starts_with("disable-")) return "0";
    return setting.value.value_or("1");
}

// The group a line stands in.
std::string group_of(const std::vector<std::string>& lines, size_t index) {
    for (size_t i = index + 1; i-- > 0;)
        if (auto group = option_group(lines[i])) return *group;
    return {};
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
    lines.push_back(option_line("datadir", my_ini_path_text(data_dir)));
    lines.push_back(option_line("log-error", my_ini_path_text(error_log)));
    lines.insert(lines.end(), std::begin(fresh_file_defaults), std::end(fresh_file_defaults));
    return join_lines(lines);
}

std::string update_my_ini_text(std::string_view existing, const OwnedMyIniOptions& owned) {
    std::vector<std::string> lines = lines_of(existing);
    // The server takes the last of several lines for one option, so every line that sets an
    // owned option in [mysqld] gets the value; lines of other sections ([client]) are not ours.
    std::vector<bool> found(owned.size(), false);
    for_each_server_option(lines, [&](size_t index, const std::string& key) {
        for (size_t n = 0; n < owned.size(); ++n) {
            if (key != option_key(owned[n].name)) continue;
            lines[index] = option_line(owned[n]);
            found[n] = true;
        }
    });
    auto section = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        auto group = option_group(line);
        return group && is_server_group(*group);
    });
    std::vector<std::string> appended;
    for (size_t n = 0; n < owned.size(); ++n) {
        if (found[n]) continue;
        if (section == lines.end())
            appended.push_back(option_line(owned[n]));
        else
            section = lines.insert(section + 1, option_line(owned[n])) - 1;
    }
    if (!appended.empty()) {
        lines.emplace_back(server_section);
        lines.insert(lines.end(), appended.begin(), appended.end());
    }
    return join_lines(lines);
}

std::optional<std::string> my_ini_value(std::string_view text, std::string_view name) {
    const std::vector<std::string> lines = lines_of(text);
    const auto last = last_line_of(lines, name, is_read_by_server);
    if (!last) return std::nullopt;
    return option_setting(lines[*last])->value.value_or("");
}

std::optional<std::string> my_ini_written_value(std::string_view text, std::string_view name) {
    const std::vector<std::string> lines = lines_of(text);
    const auto last = last_line_of(lines, name, is_server_group);
    if (!last) return std::nullopt;
    return option_setting(lines[*last])->value.value_or("");
}

std::vector<MyIniOverride> my_ini_overrides(std::string_view text) {
    const std::vector<std::string> lines = lines_of(text);
    std::vector<MyIniOverride> overrides;
    for (std::string_view name :
         {"basedir", "port", "bind-address", "enable-named-pipe", "socket"}) {
        const auto taken = last_line_of(lines, name, is_read_by_server);
        const auto ours = last_line_of(lines, name, is_server_group);
        if (!taken || !ours || taken == ours) continue;
        const OptionSetting setting = *option_setting(lines[*taken]);
        const std::string our_value = value_taken(*option_setting(lines[*ours]));
        if (value_taken(setting) == our_value) continue;
        overrides.push_back(
            {.group = group_of(lines, *taken),
             .setting = setting.name + (setting.value ? "=" + *setting.value : std::string()),
             .ours = our_value});
    }
    return overrides;
}

std::optional<std::string> set_aside_my_ini_line(std::string_view text, std::string_view line,
                                                 std::string_view when) {
    const std::string_view wanted = trim(line);
    if (wanted.empty()) return std::nullopt;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::size_t content_end = end;
        if (content_end > start && text[content_end - 1] == '\r') --content_end;
        if (trim(text.substr(start, content_end - start)) == wanted) {
            std::string changed(text.substr(0, start));
            changed.append("# set aside ").append(when).append(", unknown to this MySQL: ");
            changed.append(wanted).append(text.substr(content_end));
            return changed;
        }
        start = end + 1;
    }
    return std::nullopt;
}
