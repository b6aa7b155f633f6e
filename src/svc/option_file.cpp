#include "svc/option_file.h"

#include <algorithm>

namespace {

// The server's blanks are the ASCII ones only; a byte of a UTF-8 sequence is never one.
bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view without_leading_blanks(std::string_view text) {
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view without_blanks(std::string_view text) {
    text = without_leading_blanks(text);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A "#" outside quotes starts a comment; a backslash keeps the next quote from counting.
std::string_view without_end_comment(std::string_view line) {
    char quote = 0;
    bool escaped = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if ((c == '\'' || c == '"') && !escaped) {
            if (!quote)
                quote = c;
            else if (quote == c)
                quote = 0;
        }
        if (!quote && c == '#') return line.substr(0, i);
        escaped = !escaped && c == '\\';
    }
    return line;
}

std::string unescaped(std::string_view value) {
    if (value.size() > 1 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (const char next = value[++i]) {
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
        case '\'':
        case '\\':
            out += next;
            break;
        default: // the server keeps the backslash of an escape it does not know
            out += '\\';
            out += next;
        }
    }
    return out;
}

bool drop_prefix(std::string& name, std::string_view prefix) {
    if (!name.starts_with(prefix)) return false;
    name.erase(0, prefix.size());
    return true;
}

} // namespace

std::optional<std::string> option_group(std::string_view line) {
    line = without_leading_blanks(line);
    if (!line.starts_with('[')) return std::nullopt;
    const size_t close = line.find(']');
    // The server refuses a file with such a line; it opens no group the program could use.
    if (close == std::string_view::npos) return std::string();
    std::string_view name = line.substr(1, close - 1);
    while (!name.empty() && is_blank(name.back()))
        name.remove_suffix(1);
    return std::string(name);
}

bool is_server_group(std::string_view group) {
    constexpr std::string_view server = "mysqld";
    return group.size() == server.size() &&
           std::equal(group.begin(), group.end(), server.begin(),
                      [](char a, char b) { return ascii_lower(a) == b; });
}

std::optional<OptionSetting> option_setting(std::string_view line) {
    line = without_leading_blanks(line);
    if (line.empty() || line.front() == '#' || line.front() == ';' || line.front() == '!' ||
        line.front() == '[')
        return std::nullopt;
    line = without_end_comment(line);
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        std::string_view name = without_blanks(line);
        if (name.empty()) return std::nullopt;
        return OptionSetting{.name = std::string(name), .value = std::nullopt};
    }
    return OptionSetting{.name = std::string(without_blanks(line.substr(0, equals))),
                         .value = unescaped(without_blanks(line.substr(equals + 1)))};
}

std::string option_key(std::string_view name) {
    std::string key(name);
    std::replace(key.begin(), key.end(), '_', '-');
    drop_prefix(key, "loose-");
    if (!drop_prefix(key, "enable-") && !drop_prefix(key, "disable-")) drop_prefix(key, "skip-");
    return key;
}

std::string option_value_text(std::string_view value) {
    const bool plain = value.find_first_of("#\\") == std::string_view::npos &&
                       (value.empty() || (value.front() != '"' && value.front() != '\'' &&
                                          !is_blank(value.front()) && !is_blank(value.back())));
    if (plain) return std::string(value);
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}
