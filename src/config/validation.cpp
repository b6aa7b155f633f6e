#include "config/validation.h"

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

bool is_root(std::string_view user) {
    constexpr std::string_view root = "root";
    if (user.size() != root.size()) return false;
    for (size_t i = 0; i < root.size(); ++i) {
        char c = user[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != root[i]) return false;
    }
    return true;
}

} // namespace

Result<void> validate_settings(const ConnectionSettings& settings) {
    if (settings.port < lowest_port) return fail("Port must be 1024 - 65535");
    if (!is_made_of(settings.database, not_empty, max_database, is_name_char))
        return fail("Database: 1-64 characters, letters / digits / _ only");
    if (!is_made_of(settings.user, not_empty, max_user, is_name_char))
        return fail("User: 1-32 characters, letters / digits / _ only");
    if (is_root(settings.user)) return fail("User cannot be root");
    if (!is_made_of(settings.password, min_password, max_password, is_password_char))
        return fail("Password: 8-64 characters, no spaces, quotes or backslashes");
    if (!is_made_of(settings.host, not_empty, max_host, is_host_char))
        return fail("Allowed host: % (any), an IP such as 192.168.1.%, or a host name");
    if (!parse_ipv4(settings.bind))
        return fail("Server IP: 0.0.0.0 (all network cards) or an IPv4 address of this computer");
    return {};
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
