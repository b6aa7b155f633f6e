#pragma once
// What Windows Firewall and the Task Scheduler hold for the program, read back with netsh and
// schtasks: for the connection test and --status.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One rule as `netsh advfirewall firewall show rule` describes it.
struct FirewallRule {
    bool enabled = true;
    bool allows = true;
    std::string local_port; // "3307", "Any", a list or a range; empty when not given
};

// The rules of netsh's answer. netsh names the fields in the language of Windows: where they are
// not the English ones the rule keeps its defaults, so it counts as open rather than raise a
// false alarm.
std::vector<FirewallRule> parse_firewall_rules(std::string_view netsh_output);

// Whether one of the rules lets other computers in on the port. No rules read from a rule that
// netsh did show means fields in another language: then it does.
bool rules_let_in(const std::vector<FirewallRule>& rules, std::uint16_t port);

struct FirewallState {
    bool present = false;
    std::optional<std::uint16_t> port; // the first rule's port, when it is one number
    bool lets_in = false;              // for the port asked about
};
// The program's rule ("KELTA Retail MySQL") as Windows Firewall has it now; nothing when netsh
// could not tell (it did not start, hung, or failed otherwise than by finding no rule).
std::optional<FirewallState> firewall_state(std::uint16_t port);
