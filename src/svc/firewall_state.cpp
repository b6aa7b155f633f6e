#include "svc/firewall_state.h"

#include "base/child.h"
#include "base/text.h"
#include "instance/paths.h"
#include "svc/firewall.h"

#include <string>

namespace {

// "Key:   value" with both sides trimmed, or nothing.
std::optional<std::pair<std::string_view, std::string_view>> field_of(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    return std::pair{trim(line.substr(0, colon)), trim(line.substr(colon + 1))};
}

bool port_listed(std::string_view ports, std::uint16_t port) {
    if (ports.empty() || ports == "Any") return true;
    while (!ports.empty()) {
        const std::size_t comma = ports.find(',');
        std::string_view item = trim(ports.substr(0, comma));
        const std::size_t dash = item.find('-');
        const auto low = parse_u16(item.substr(0, dash));
        const auto high = dash == std::string_view::npos ? low : parse_u16(item.substr(dash + 1));
        if (low && high && *low <= port && port <= *high) return true;
        ports = comma == std::string_view::npos ? std::string_view() : ports.substr(comma + 1);
    }
    return false;
}

} // namespace

std::vector<FirewallRule> parse_firewall_rules(std::string_view netsh_output) {
    std::vector<FirewallRule> rules;
    for (std::string_view line : split_lines(netsh_output)) {
        auto field = field_of(line);
        if (!field) continue;
        const auto [key, value] = *field;
        if (key == "Rule Name") rules.emplace_back();
        if (rules.empty()) continue;
        if (key == "Enabled") rules.back().enabled = value != "No";
        if (key == "Action") rules.back().allows = value != "Block";
        if (key == "LocalPort") rules.back().local_port = value;
    }
    return rules;
}

bool rules_let_in(const std::vector<FirewallRule>& rules, std::uint16_t port) {
    if (rules.empty()) return true;
    for (const FirewallRule& rule : rules)
        if (rule.enabled && rule.allows && port_listed(rule.local_port, port)) return true;
    return false;
}

std::optional<FirewallState> firewall_state(std::uint16_t port) {
    ChildProcess netsh{.program = system_tool_path("netsh"),
                       .arguments = {"advfirewall", "firewall", "show", "rule",
                                     "name=" + std::string(firewall_rule_name)}};
    auto shown = run_captured(netsh, {}, true, tool_time_limit);
    // netsh ends with 1 when no rule has the name.
    if (!shown || shown->exit_code > 1) return std::nullopt;
    if (shown->exit_code == 1) return FirewallState{};
    const std::vector<FirewallRule> rules = parse_firewall_rules(shown->output);
    FirewallState state{.present = true, .lets_in = rules_let_in(rules, port)};
    if (!rules.empty()) state.port = parse_u16(rules.front().local_port);
    return state;
}
