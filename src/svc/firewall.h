#pragma once
// The Windows Firewall rule that lets the registers reach the server, and the nightly Task
// Scheduler tasks that rotate the logs and back the database up; both set with the Windows tools netsh and schtasks.
#include "base/result.h"

#include <cstdint>
#include <optional>
#include <string_view>

inline constexpr std::string_view firewall_rule_name = "KELTA Retail MySQL";
inline constexpr std::string_view rotation_task_name = "KELTA Retail MySQL Log Rotation";
inline constexpr std::string_view backup_task_name = "KELTA Retail MySQL Backup";

// Deletes the rule, then adds it for the port when enabled: one rule at most, on the last port.
Result<void> set_firewall_rule(bool enabled, std::uint16_t port);
// Whether Windows Firewall has the rule (netsh ran and found it).
bool firewall_rule_present();
void remove_firewall_rule();

// Whether the Task Scheduler has the task; nothing when that cannot be known: schtasks did not
// run, or it failed in a process that is not elevated, which may not see SYSTEM's tasks at all.
std::optional<bool> scheduled_task_state(std::string_view name, bool elevated);

// Daily at 03:00 as SYSTEM: this executable with --rotate-logs --quiet.
Result<void> register_rotation_task();
// Whether the Task Scheduler has the task (schtasks ran and found it).
bool rotation_task_present();
void remove_rotation_task();

// Daily at `time` (HH:MM) as SYSTEM: this executable with --backup-auto --quiet.
Result<void> register_backup_task(std::string_view time);
void remove_backup_task();
