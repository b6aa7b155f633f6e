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

void remove_firewall_rule() {
    (void)netsh_rule("delete");
}
