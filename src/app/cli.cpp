#include "app/cli.h"

#include "base/text.h"

#include <algorithm>

namespace {

bool starts_with_dashes(const std::string& element) { return element.starts_with("--"); }

bool is_modifier(const std::string& element) {
    return element == "--quiet" || element == "--config" || element == "--firewall" ||
           element == "--limit" || element == "--previous-service" || element == "--if-idle";
}

std::optional<std::size_t> value_position(const Arguments& arguments, const std::string& name) {
    auto it = std::ranges::find(arguments, name);
    if (it == arguments.end() || it + 1 == arguments.end() || starts_with_dashes(*(it + 1)))
        return std::nullopt;
    return static_cast<std::size_t>(it + 1 - arguments.begin());
}

std::optional<std::size_t> file_position(const Arguments& arguments, const std::string& mode) {
    if (auto value = value_position(arguments, mode)) return value;
    auto it = std::ranges::find_if(arguments, [](const auto& e) { return !starts_with_dashes(e); });
    if (it == arguments.end()) return std::nullopt;
    return static_cast<std::size_t>(it - arguments.begin());
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
    if (auto at = value_position(arguments, name)) return arguments[*at];
    return std::nullopt;
}

std::optional<std::string> file_argument(const Arguments& arguments, const std::string& mode) {
    if (auto at = file_position(arguments, mode)) return arguments[*at];
    return std::nullopt;
}

std::vector<std::size_t> file_argument_positions(const Arguments& arguments) {
    std::vector<std::size_t> positions;
    const auto mode = find_mode(arguments);
    if (mode == "--backup" || mode == "--restore" || mode == "--recover")
        if (auto at = file_position(arguments, *mode)) positions.push_back(*at);
    if (auto at = value_position(arguments, "--config")) positions.push_back(*at);
    return positions;
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
