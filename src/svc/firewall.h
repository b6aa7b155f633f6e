#pragma once
// The Windows Firewall rule that lets the registers reach the server, set with the Windows tool
// netsh.
#include "base/result.h"

#include <cstdint>
#include <optional>
#include <string_view>

inline constexpr std::string_view firewall_rule_name = "KELTA Retail MySQL";

// Deletes the rule, then adds it for the port when enabled: one rule at most, on the last port.
// A rule that cannot be deleted is a failure.
Result<void> set_firewall_rule(bool enabled, std::uint16_t port);
// Whether Windows Firewall has the rule; nothing when netsh could not tell.
std::optional<bool> firewall_rule_present();
// Succeeds when the rule is gone, also when there was none.
Result<void> remove_firewall_rule();

