// Whether Windows Firewall lets the registers in, read from what netsh shows of the rule.
#include "svc/firewall_state.h"

#include <gtest/gtest.h>

namespace {

std::string rule(std::string_view enabled, std::string_view port, std::string_view action) {
    return "\r\nRule Name:                            KELTA Retail MySQL\r\n"
           "----------------------------------------------------------------------\r\n"
           "Enabled:                              " +
           std::string(enabled) +
           "\r\nDirection:                            In\r\n"
           "Profiles:                             Domain,Private,Public\r\n"
           "LocalIP:                              Any\r\nProtocol:                             "
           "TCP\r\n"
           "LocalPort:                            " +
           std::string(port) + "\r\nAction:                               " + std::string(action) +
           "\r\n";
}

TEST(FirewallState, OnlyAnEnabledAllowingRuleForThePortLetsIn) {
    EXPECT_TRUE(rules_let_in(parse_firewall_rules(rule("Yes", "3307", "Allow") + "Ok.\r\n"), 3307));
    EXPECT_FALSE(rules_let_in(parse_firewall_rules(rule("No", "3307", "Allow")), 3307));
    EXPECT_FALSE(rules_let_in(parse_firewall_rules(rule("Yes", "3307", "Block")), 3307));
    EXPECT_FALSE(rules_let_in(parse_firewall_rules(rule("Yes", "3306", "Allow")), 3307));
    EXPECT_TRUE(rules_let_in(parse_firewall_rules(rule("Yes", "80,3300-3310", "Allow")), 3307));
    // Two rules of the name: one that lets in is enough.
    EXPECT_TRUE(rules_let_in(
        parse_firewall_rules(rule("No", "3307", "Allow") + rule("Yes", "Any", "Allow")), 3307));
    // A Windows in another language names the fields in it: no false alarm.
    EXPECT_TRUE(rules_let_in(parse_firewall_rules("Regelname: KELTA Retail MySQL\r\n"
                                                  "Aktiviert: Nein\r\nLokaler Port: 9\r\n"),
                             3307));
}

} // namespace
