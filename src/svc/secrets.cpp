#include "svc/secrets.h"

#include "base/files.h"
#include "base/text.h"
#include "config/legacy.h"
#include "config/settings.h"
#include "instance/paths.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::string_view password_key_end = "password";

// As the client library escapes a string literal (mysql_real_escape_string).
std::string sql_escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\0':
            out += "\\0";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\x1a':
            out += "\\Z";
            break;
        case '\'':
        case '"':
        case '\\':
            out += '\\';
            out += c;
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string quotes_doubled(std::string_view text) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\'') out += c;
    }
    return out;
}

bool is_password_key(std::string_view key) {
    std::string plain(trim(key));
    for (char& c : plain)
        c = c == '-' ? '_' : (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    return plain.ends_with(password_key_end);
}

} // namespace

std::vector<std::string> stored_passwords() {
    std::vector<std::string> passwords;
    if (auto text = read_file(settings_path())) {
        const ConnectionSettings settings = parse_settings(*text);
        passwords.insert(passwords.end(), {settings.password, settings.root_password});
    }
    if (auto text = read_file(legacy_settings_path())) {
        const ConnectionSettings settings = parse_legacy_settings(*text);
        passwords.insert(passwords.end(), {settings.password, settings.root_password});
    }
    return passwords;
}

std::vector<std::string> secret_forms(const std::vector<std::string>& passwords) {
    std::vector<std::string> forms;
    for (const std::string& password : passwords)
        for (std::string form :
             {password, sql_escaped(password), quotes_doubled(password), json_escaped(password)})
            if (!form.empty() && std::ranges::find(forms, form) == forms.end())
                forms.push_back(std::move(form));
    // A form inside a longer one must not break the longer one up before it is found.
    std::ranges::stable_sort(forms, std::ranges::greater{}, &std::string::size);
    return forms;
}

std::size_t redact(std::string& text, const std::vector<std::string>& forms) {
    std::size_t replaced = 0;
    for (const std::string& form : forms) {
        for (std::size_t at = text.find(form); at != std::string::npos;
             at = text.find(form, at + password_mask.size())) {
            text.replace(at, form.size(), password_mask);
            ++replaced;
        }
    }
    return replaced;
}

std::string mask_password_values(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        const std::string_view line_end = text.substr(end, 1);
        text.remove_prefix(std::min(end + 1, text.size()));
        const bool cr = line.ends_with('\r');
        if (cr) line.remove_suffix(1);
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos && is_password_key(line.substr(0, equals))) {
            out.append(line.substr(0, equals + 1)).append(password_mask);
        } else {
            out.append(line);
        }
        if (cr) out += '\r';
        out.append(line_end);
    }
    return out;
}
