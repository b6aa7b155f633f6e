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
    return tool_found(run_hidden_to_exit(system_tool_path("netsh"),
                                         {"advfirewall", "firewall", "show", "rule",
                                          rule_name_argument()}));
}

Result<void> remove_firewall_rule() {
    // netsh fails when there is no such rule; only a rule that is still there counts.
    auto deleted = netsh_rule("delete");
    if (deleted || firewall_rule_present() == false) return {};
    return fail("netsh advfirewall: " + deleted.error());
}
