#include "svc/firewall.h"

#include "base/child.h"
#include "instance/paths.h"

#include <optional>
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

// netsh and schtasks end with 1 when they find nothing of the name; anything else (another code,
// a tool that did not start or hung) leaves the answer open.
std::optional<bool> found(const Result<unsigned long>& exit_code) {
    if (!exit_code || *exit_code > 1) return std::nullopt;
    return *exit_code == 0;
}

std::optional<bool> task_present(std::string_view name) {
    return found(
        run_hidden_to_exit(system_tool_path("schtasks"), {"/Query", "/TN", std::string(name)}));
}

// Deleting fails also when there is nothing to delete: only a task still there is a failure.
Result<void> remove_task(std::string_view name) {
    auto deleted = schtasks({"/Delete", "/TN", std::string(name), "/F"});
    if (deleted || task_present(name) == false) return {};
    return fail("schtasks: " + deleted.error());
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
    // A rule that stays would keep the port open, or sit beside the new one on another port.
    if (auto removed = remove_firewall_rule(); !removed) return removed;
    if (!enabled) return {};
    auto added = netsh_rule("add", {"dir=in", "action=allow", "protocol=TCP",
                                    "localport=" + std::to_string(port), "profile=any"});
    if (!added) return fail("netsh advfirewall: " + added.error());
    return {};
}

std::optional<bool> firewall_rule_present() {
    return found(run_hidden_to_exit(system_tool_path("netsh"), {"advfirewall", "firewall", "show",
                                                                "rule", rule_name_argument()}));
}

Result<void> remove_firewall_rule() {
    // netsh fails when there is no such rule; only a rule that is still there counts.
    auto deleted = netsh_rule("delete");
    if (deleted || firewall_rule_present() == false) return {};
    return fail("netsh advfirewall: " + deleted.error());
}

Result<void> register_rotation_task() {
    return register_daily_task(rotation_task_name, "--rotate-logs --quiet", "03:00");
}

bool rotation_task_present() {
    return task_present(rotation_task_name) == true;
}

Result<void> remove_rotation_task() {
    return remove_task(rotation_task_name);
}

Result<void> register_backup_task(std::string_view time) {
    return register_daily_task(backup_task_name, "--backup-auto --quiet", time);
}

bool backup_task_present() {
    return task_present(backup_task_name) == true;
}

Result<void> remove_backup_task() {
    return remove_task(backup_task_name);
}
