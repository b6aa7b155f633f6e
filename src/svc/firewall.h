#pragma once
// The Windows Firewall rule that lets the registers reach the server, and the nightly Task
// Scheduler task that rotates the logs; both set with the Windows tools netsh and schtasks.
#include "base/result.h"

#include <cstdint>
#include <string_view>

inline constexpr std::string_view firewall_rule_name = "KELTA Retail MySQL";
inline constexpr std::string_view rotation_task_name = "KELTA Retail MySQL Log Rotation";

// Deletes the rule, then adds it for the port when enabled: one rule at most, on the last port.
Result<void> set_firewall_rule(bool enabled, std::uint16_t port);
// Whether Windows Firewall has the rule (netsh ran and found it).
bool firewall_rule_present();
void remove_firewall_rule();

// Daily at 03:00 as SYSTEM: this executable with --rotate-logs --quiet.
Result<void> register_rotation_task();
// Whether the Task Scheduler has the task (schtasks ran and found it).
bool rotation_task_present();
void remove_rotation_task();
