#include "server_options.h"

#include "agent_link.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <set>

namespace bench {

namespace {

constexpr int max_path_depth = 64;

std::string trimmed(std::string_view text) {
    size_t first = 0, last = text.size();
    while (first < last && std::isspace(static_cast<unsigned char>(text[first])))
        ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1])))
        --last;
    return std::string(text.substr(first, last - first));
}

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// An end comment starts at a "#" outside quotes, as in 5.7's option file reader.
std::string without_end_comment(std::string_view line) {
    char quote = 0;
    bool escape = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if ((c == '\'' || c == '"') && !escape) {
            if (!quote)
                quote = c;
            else if (quote == c)
                quote = 0;
        }
        if (!quote && c == '#') return std::string(line.substr(0, i));
        escape = quote && c == '\\' && !escape;
    }
    return std::string(line);
}

std::string unescaped_value(std::string value) {
    if (value.size() > 1 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        char next = value[++i];
        switch (next) {
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case 'b':
            out += '\b';
            break;
        case 's':
            out += ' ';
            break;
        case '"':
            out += '"';
            break;
        case '\'':
            out += '\'';
            break;
        case '\\':
            out += '\\';
            break;
        default: // an unknown escape keeps its backslash
            out += '\\';
            out += next;
        }
    }
    return out;
}

// Option names as mysqld compares them: case-insensitive, "_" and "-" alike, "loose-" ignored.
std::string plain_name(const std::string& name) {
    std::string plain = lower(name);
    std::replace(plain.begin(), plain.end(), '_', '-');
    if (plain.starts_with("loose-")) plain.erase(0, 6);
    return plain;
}

// The value of a boolean option named `base` (with its enable-/disable-/skip- forms).
std::optional<bool> boolean_option(const std::string& plain,
                                   const std::optional<std::string>& value,
                                   const std::string& base) {
    auto truthy = [&] {
        if (!value) return true;
        std::string v = lower(trimmed(*value));
        return !(v == "0" || v == "off" || v == "false");
    };
    if (plain == base || plain == "enable-" + base) return truthy();
    if (plain == "skip-" + base || plain == "disable-" + base) return false;
    return std::nullopt;
}

std::string parent_of(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string native(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::optional<std::string> map_value(const std::string& value, std::string& error) {
    if (!is_windows_absolute(value)) return value;
    auto mapped = map_windows_path(value);
    if (!mapped) error = "cannot map " + value + " into the Wine prefix";
    return mapped;
}

} // namespace

bool is_windows_absolute(const std::string& value) {
    return (value.size() >= 3 && std::isalpha(static_cast<unsigned char>(value[0])) &&
            value[1] == ':' && (value[2] == '\\' || value[2] == '/')) ||
           value.starts_with("\\\\");
}

std::optional<std::string> map_windows_path(const std::string& path) {
    std::string windows = native(path);
    std::string rest;
    for (int depth = 0; depth < max_path_depth && !windows.empty(); ++depth) {
        if (auto mapped = unix_path_of(wide_of(windows))) {
            while (mapped->size() > 1 && mapped->back() == '/')
                mapped->pop_back();
            return *mapped + rest;
        }
        size_t cut = windows.find_last_of('\\');
        if (cut == std::string::npos) break;
        rest.insert(0, windows.substr(cut + 1));
        rest.insert(0, 1, '/');
        windows.resize(cut);
    }
    return std::nullopt;
}

std::optional<std::vector<Option>> parse_option_file(const std::string& text,
                                                     const std::string& path,
                                                     const std::vector<std::string>& groups,
                                                     std::string& error) {
    std::vector<Option> options;
    bool found_group = false, reading = false;
    size_t line_number = 0, start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = trimmed(std::string_view(text).substr(start, end - start));
        start = end + 1;
        ++line_number;
        if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '!') continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            if (close == std::string::npos) {
                error = "Wrong group definition in config file " + path + " at line " +
                        std::to_string(line_number);
                return std::nullopt;
            }
            std::string group = lower(trimmed(std::string_view(line).substr(1, close - 1)));
            found_group = true;
            reading = std::any_of(groups.begin(), groups.end(),
                                  [&](const std::string& g) { return lower(g) == group; });
            continue;
        }
        if (!found_group) {
            error = "Found option without preceding group in config file " + path + " at line " +
                    std::to_string(line_number) + "!";
            return std::nullopt;
        }
        if (!reading) continue;
        line = trimmed(without_end_comment(line));
        if (line.empty()) continue;
        size_t equals = line.find('=');
        if (equals == std::string::npos) {
            options.push_back({.name = line, .value = std::nullopt});
            continue;
        }
        options.push_back(
            {.name = trimmed(std::string_view(line).substr(0, equals)),
             .value = unescaped_value(trimmed(std::string_view(line).substr(equals + 1)))});
    }
    return options;
}

std::optional<ServerPlan> plan_server(const std::vector<Option>& options,
                                      const std::wstring& program, bool console,
                                      std::string& error) {
    // Options of Windows' mysqld that have no meaning for the Linux server.
    static const std::set<std::string> windows_only = {"named-pipe-full-access-group",
                                                       "shared-memory-base-name", "standalone"};
    std::string basedir = parent_of(parent_of(utf8_of(program)));
    std::string datadir = basedir + "\\data";
    std::optional<std::optional<std::string>> log_error;
    bool pipe_enabled = false;
    std::string pipe = "MySQL"; // 5.7's default pipe name
    std::vector<Option> passed;
    for (const auto& option : options) {
        std::string plain = plain_name(option.name);
        if (auto on = boolean_option(plain, option.value, "named-pipe")) {
            pipe_enabled = *on;
        } else if (plain == "socket") {
            if (option.value) pipe = *option.value;
        } else if (boolean_option(plain, option.value, "shared-memory") ||
                   windows_only.contains(plain)) {
            continue;
        } else if (auto on_console = boolean_option(plain, option.value, "console")) {
            console = *on_console;
        } else if (plain == "basedir" && option.value) {
            basedir = *option.value;
        } else if (plain == "datadir" && option.value) {
            datadir = *option.value;
        } else if (plain == "log-error") {
            log_error = option.value;
        } else {
            passed.push_back(option);
        }
    }

    ServerPlan plan;
    for (auto [name, value] : {std::pair{"basedir", basedir}, std::pair{"datadir", datadir}}) {
        auto mapped = map_value(value, error);
        if (!mapped) return std::nullopt;
        plan.options.emplace_back(name, *mapped);
    }
    for (const auto& option : passed) {
        std::optional<std::string> value;
        if (option.value) {
            auto mapped = map_value(*option.value, error);
            if (!mapped) return std::nullopt;
            value = *mapped;
        }
        plan.options.emplace_back(option.name, value);
    }
    if (!console) {
        // Without a file name 5.7 writes <host>.err in the data directory, as the Linux one does.
        std::string file = log_error && *log_error ? **log_error : std::string();
        if (file.empty()) {
            plan.options.emplace_back("log-error", std::nullopt);
        } else {
            auto mapped = map_value(file, error);
            if (!mapped) return std::nullopt;
            plan.options.emplace_back("log-error", *mapped);
            plan.error_log =
                wide_of(native(is_windows_absolute(file) ? file : datadir + "\\" + file));
        }
    }
    if (pipe_enabled) plan.pipe = pipe;
    return plan;
}

} // namespace bench
