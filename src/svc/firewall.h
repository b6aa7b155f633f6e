#pragma once
// The Windows Firewall rule that lets the registers reach the server, set with the Windows tool
// netsh.
#include "base/result.h"

#include <cstdint>
#include <string_view>

inline constexpr std::string_view firewall_rule_name = "KELTA Retail MySQL";

// Deletes the rule, then adds it for the port when enabled: one rule at most, on the last port.
Result<void> set_firewall_rule(bool enabled, std::uint16_t port);
// Whether Windows Firewall has the rule (netsh ran and found it).
bool firewall_rule_present();
void remove_firewall_rule();
