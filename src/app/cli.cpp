#include "app/cli.h"

#include "base/text.h"

#include <algorithm>

namespace {

bool starts_with_dashes(const std::string& element) { return element.starts_with("--"); }

bool is_modifier(const std::string& element) {
    return element == "--quiet" || element == "--config" || element == "--firewall" ||
           element == "--limit" || element == "--if-idle";
}

} // namespace

bool is_quiet(const Arguments& arguments) {
    return std::ranges::find(arguments, "--quiet") != arguments.end();
}

std::optional<std::string> find_mode(const Arguments& arguments) {
    for (const auto& element : arguments)
        if (starts_with_dashes(element) && !is_modifier(element)) return element;
    return std::nullopt;
}

std::optional<std::string> option_value(const Arguments& arguments, const std::string& name) {
    auto it = std::ranges::find(arguments, name);
    if (it == arguments.end() || it + 1 == arguments.end() || starts_with_dashes(*(it + 1)))
        return std::nullopt;
    return *(it + 1);
}

std::optional<std::string> file_argument(const Arguments& arguments, const std::string& mode) {
    if (auto value = option_value(arguments, mode)) return value;
    for (const auto& element : arguments)
        if (!starts_with_dashes(element)) return element;
    return std::nullopt;
}

std::optional<std::uint64_t> rotate_limit(const Arguments& arguments) {
    auto value = option_value(arguments, "--limit");
    return value ? parse_u64(*value) : std::nullopt;
}

FirewallChoice firewall_choice(const Arguments& arguments) {
    auto value = option_value(arguments, "--firewall");
    if (!value) return FirewallChoice::keep;
    return *value == "off" ? FirewallChoice::off : FirewallChoice::on;
}

std::uint8_t setup_page(const Arguments& arguments) {
    auto page = option_value(arguments, "--setup");
    if (page == "connection") return 1;
    if (page == "backup") return 2;
    if (page == "general") return 3;
    return 0;
}
