#include "app/cli.h"

#include <gtest/gtest.h>

namespace {

TEST(Cli, ModeIsTheFirstDoubleDashElementThatIsNoModifier) {
    EXPECT_EQ(find_mode({}), std::nullopt);
    EXPECT_EQ(find_mode({"--quiet"}), std::nullopt);
    EXPECT_EQ(find_mode({"--config", "D:\\a.ini"}), std::nullopt);
    EXPECT_EQ(find_mode({"--firewall", "off"}), std::nullopt);
    EXPECT_EQ(find_mode({"--limit", "5"}), std::nullopt);
    EXPECT_EQ(find_mode({"--if-idle", "--stop"}), "--stop");
    EXPECT_EQ(find_mode({"-x", "--start", "--stop"}), "--start");
    EXPECT_EQ(find_mode({"--config", "D:\\setup\\a.ini", "--apply"}), "--apply");
    EXPECT_EQ(find_mode({"--"}), "--");
    EXPECT_EQ(find_mode({"-"}), std::nullopt);
}

TEST(Cli, OptionValueLooksOnlyAtTheFirstOccurrence) {
    EXPECT_EQ(option_value({"--apply", "--config", "--quiet"}, "--config"), std::nullopt);
    EXPECT_EQ(option_value({"--config", "a.ini"}, "--config"), "a.ini");
    EXPECT_EQ(option_value({"--config"}, "--config"), std::nullopt);
    EXPECT_EQ(option_value({"--config", "--x", "--config", "b"}, "--config"), std::nullopt);
    EXPECT_EQ(option_value({"--setup", "-"}, "--setup"), "-");
}

TEST(Cli, FileArgumentFallsBackToTheFirstPlainElement) {
    EXPECT_EQ(file_argument({"--backup", "--quiet", "D:\\x.sql"}, "--backup"), "D:\\x.sql");
    EXPECT_EQ(file_argument({"--backup", "D:\\x.sql"}, "--backup"), "D:\\x.sql");
    EXPECT_EQ(file_argument({"--backup"}, "--backup"), std::nullopt);
    // The value of another option counts too.
    EXPECT_EQ(file_argument({"--limit", "5", "--backup", "--quiet"}, "--backup"), "5");
}

TEST(Cli, RotateLimit) {
    EXPECT_EQ(rotate_limit({"--rotate-logs", "--limit", "+500"}), 500u);
    EXPECT_EQ(rotate_limit({"--rotate-logs", "--limit", "0"}), 0u);
    EXPECT_EQ(rotate_limit({"--rotate-logs", "--limit", "5MB"}), std::nullopt);
    EXPECT_EQ(rotate_limit({"--rotate-logs", "--limit", "-1"}), std::nullopt);
    EXPECT_EQ(rotate_limit({"--rotate-logs", "--limit"}), std::nullopt);
    EXPECT_EQ(rotate_limit({"--rotate-logs", "--limit", "18446744073709551615"}),
              18446744073709551615ull);
    EXPECT_EQ(rotate_limit({"--rotate-logs", "--limit", "18446744073709551616"}), std::nullopt);
}

TEST(Cli, FirewallChoice) {
    EXPECT_EQ(firewall_choice({"--install"}), FirewallChoice::keep);
    EXPECT_EQ(firewall_choice({"--install", "--firewall"}), FirewallChoice::keep);
    EXPECT_EQ(firewall_choice({"--install", "--firewall", "--quiet"}), FirewallChoice::keep);
    EXPECT_EQ(firewall_choice({"--install", "--firewall", "off"}), FirewallChoice::off);
    EXPECT_EQ(firewall_choice({"--install", "--firewall", "OFF"}), FirewallChoice::on);
    EXPECT_EQ(firewall_choice({"--install", "--firewall", "no"}), FirewallChoice::on);
}

TEST(Cli, SetupPage) {
    EXPECT_EQ(setup_page({"--setup"}), 0);
    EXPECT_EQ(setup_page({"--setup", "connection"}), 1);
    EXPECT_EQ(setup_page({"--setup", "backup"}), 2);
    EXPECT_EQ(setup_page({"--setup", "general"}), 3);
    EXPECT_EQ(setup_page({"--setup", "Backup"}), 0);
}

TEST(Cli, Quiet) {
    EXPECT_TRUE(is_quiet({"--stop", "x", "--quiet"}));
    EXPECT_FALSE(is_quiet({"--stop", "--Quiet"}));
}

} // namespace
