#include "svc/firewall.h"

#include "base/child.h"
#include "instance/paths.h"

#include <string>
#include <vector>

namespace {

std::string rule_name_argument() { return "name=" + std::string(firewall_rule_name); }

Result<void> netsh_rule(const char* verb, std::vector<std::string> more = {}) {
    std::vector<std::string> arguments = {"advfirewall", "firewall", verb, "rule", rule_name_argument()};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return run_hidden(system_tool_path("netsh"), arguments);
}

Result<void> schtasks(std::vector<std::string> arguments) {
    return run_hidden(system_tool_path("schtasks"), arguments);
}

// Daily at `time` as SYSTEM with the highest privileges, replacing a task of the same name.
Result<void> register_daily_task(std::string_view name, std::string_view arguments,
                                 std::string_view time) {
    std::string action = "\"";
    action += executable_path().value_or("");
    action += "\" ";
    action += arguments;
    return schtasks({"/Create", "/TN", std::string(name), "/TR", action, "/SC", "DAILY", "/ST",
                     std::string(time), "/RU", "SYSTEM", "/RL", "HIGHEST", "/F"});
}

} // namespace

Result<void> set_firewall_rule(bool enabled, std::uint16_t port) {
    // netsh fails when there is no such rule yet; that is fine.
    remove_firewall_rule();
    if (!enabled) return {};
    auto added = netsh_rule("add", {"dir=in", "action=allow", "protocol=TCP",
                                    "localport=" + std::to_string(port), "profile=any"});
    if (!added) return fail("netsh advfirewall: " + added.error());
    return {};
}

bool firewall_rule_present() { return netsh_rule("show").has_value(); }

void remove_firewall_rule() { (void)netsh_rule("delete"); }

Result<void> register_rotation_task() {
    return register_daily_task(rotation_task_name, "--rotate-logs --quiet", "03:00");
}

std::optional<bool> scheduled_task_state(std::string_view name, bool elevated) {
    auto ran =
        run_hidden_to_exit(system_tool_path("schtasks"), {"/Query", "/TN", std::string(name)});
    if (!ran) return std::nullopt;
    if (*ran == 0) return true;
    if (!elevated) return std::nullopt;
    return false;
}

bool rotation_task_present() {
    return scheduled_task_state(rotation_task_name, true).value_or(false);
}

void remove_rotation_task() {
    (void)schtasks({"/Delete", "/TN", std::string(rotation_task_name), "/F"});
}

Result<void> register_backup_task(std::string_view time) {
    return register_daily_task(backup_task_name, "--backup-auto --quiet", time);
}

void remove_backup_task() {
    (void)schtasks({"/Delete", "/TN", std::string(backup_task_name), "/F"});
}
