#include "config/validation.h"

#include "i18n/tr.h"

#include <algorithm>

namespace {

constexpr std::uint16_t lowest_port = 1024;
constexpr size_t not_empty = 1;
constexpr size_t max_database = 64;
constexpr size_t max_user = 32;
constexpr size_t min_password = 8;
constexpr size_t max_password = 64;
constexpr size_t max_host = 60;
constexpr char printable_first = 0x21;
constexpr char printable_last = 0x7E;

bool is_letter_or_digit(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool is_name_char(char c) {
    return is_letter_or_digit(c) || c == '_';
}

bool is_host_char(char c) {
    return is_letter_or_digit(c) || c == '.' || c == '%' || c == '_' || c == '-' || c == ':';
}

// The password goes into SQL string literals and onto command lines: quotes, backslashes and
// backticks would need escaping, blanks and non-ASCII text would need quoting or encoding.
bool is_password_char(char c) {
    if (c < printable_first || c > printable_last) return false;
    return c != '\'' && c != '"' && c != '\\' && c != '`';
}

template <class Allowed>
bool is_made_of(std::string_view text, size_t min, size_t max, Allowed allowed) {
    return text.size() >= min && text.size() <= max &&
           std::all_of(text.begin(), text.end(), allowed);
}

bool equals_ignoring_case(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (size_t i = 0; i < lower.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lower[i]) return false;
    }
    return true;
}

bool is_root(std::string_view user) {
    return equals_ignoring_case(user, "root");
}

// The server's own databases: an account granted everything on one of them owns the server.
// Database names ignore case on Windows.
bool is_system_database(std::string_view database) {
    for (std::string_view system : {"mysql", "sys", "information_schema", "performance_schema"})
        if (equals_ignoring_case(database, system)) return true;
    return false;
}

// One dotted part of an address pattern: a number as the server prints it (0-255, no leading
// zero), or digits with the wildcards "%" and "_".
bool is_address_part(std::string_view part) {
    if (part.empty()) return false;
    if (part.find_first_of("%_") != std::string_view::npos)
        return part.find_first_not_of("0123456789%_") == std::string_view::npos;
    if (part.size() > 3 || part.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    return (part.size() == 1 || part.front() != '0') && std::stoi(std::string(part)) <= 255;
}

// The server skips name lookups (skip-name-resolve) and compares an account's host with the
// client's IPv4 address as text: only "%", "localhost", an address or an address pattern such as
// 192.168.1.% can ever match. A pattern of fewer than four parts needs a "%" to reach the rest.
bool host_can_log_in(std::string_view host) {
    if (host == "%" || equals_ignoring_case(host, "localhost")) return true;
    size_t parts = 0;
    for (size_t start = 0;;) {
        const size_t dot = host.find('.', start);
        if (++parts > 4 || !is_address_part(host.substr(start, dot - start))) return false;
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    return parts == 4 || host.find('%') != std::string_view::npos;
}

Result<void> check_settings(const ConnectionSettings& settings, bool new_values) {
    if (settings.port < lowest_port) return fail("Port must be 1024 - 65535");
    if (!is_made_of(settings.database, not_empty, max_database, is_name_char))
        return fail("Database: 1-64 characters, letters / digits / _ only");
    if (new_values && is_system_database(settings.database))
        return fail(std::string(tr(
            "Database: mysql, sys, information_schema and performance_schema belong to the server",
            "数据库：mysql、sys、information_schema 和 performance_schema 属于服务器本身")));
    if (!is_made_of(settings.user, not_empty, max_user, is_name_char))
        return fail("User: 1-32 characters, letters / digits / _ only");
    if (is_root(settings.user)) return fail("User cannot be root");
    if (!is_made_of(settings.password, min_password, max_password, is_password_char))
        return fail("Password: 8-64 characters, no spaces, quotes or backslashes");
    if (!is_made_of(settings.host, not_empty, max_host, is_host_char))
        return fail("Allowed host: % (any), an IP such as 192.168.1.%, or a host name");
    if (new_values && !host_can_log_in(settings.host))
        return fail(std::string(tr("Allowed host: use an IP address, a pattern such as "
                                   "192.168.1.% or %; computer names cannot log in",
                                   "允许的主机：请填 IP 地址、192.168.1.% 这样的范围或 %；"
                                   "用电脑名无法登录")));
    if (!parse_ipv4(settings.bind))
        return fail("Server IP: 0.0.0.0 (all network cards) or an IPv4 address of this computer");
    return {};
}

} // namespace

Result<void> validate_settings(const ConnectionSettings& settings) {
    return check_settings(settings, true);
}

Result<void> validate_stored_settings(const ConnectionSettings& settings) {
    return check_settings(settings, false);
}

Result<void> check_bind_address(std::string_view bind,
                                const std::function<std::vector<Ipv4>()>& local_addresses) {
    if (bind == any_ipv4_address) return {};
    auto address = parse_ipv4(bind);
    if (!address) return fail("bad server IP");
    auto owned = local_addresses();
    if (std::find(owned.begin(), owned.end(), *address) != owned.end()) return {};
    return fail("Server IP " + ipv4_text(*address) +
                " is not an address of this computer (use 0.0.0.0 for all network cards)");
}

Result<void> check_bind_address(std::string_view bind) {
    return check_bind_address(bind, local_ipv4_addresses);
}
