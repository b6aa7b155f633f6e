// The rules a record passes before it is used, each at its boundaries, and the rule order.
#include "config/validation.h"
#include "i18n/tr.h"

#include <gtest/gtest.h>

namespace {

ConnectionSettings valid() {
    return {.port = 3307,
            .database = "kelta_retail",
            .user = "kelta_retail",
            .password = "Secret-Password_1",
            .host = "%",
            .bind = "0.0.0.0",
            .firewall = true,
            .root_password = ""};
}

const std::string port_text = "Port must be 1024 - 65535";
const std::string database_text = "Database: 1-64 characters, letters / digits / _ only";
const std::string user_text = "User: 1-32 characters, letters / digits / _ only";
const std::string root_text = "User cannot be root";
const std::string password_text = "Password: 8-64 characters, no spaces, quotes or backslashes";
const std::string host_text = "Allowed host: % (any), an IP such as 192.168.1.%, or a host name";
// In the language of the test process, which the registry decides.
const std::string system_database_text(
    tr("Database: mysql, sys, information_schema and performance_schema belong to the server",
       "数据库：mysql、sys、information_schema 和 performance_schema 属于服务器本身"));
const std::string unreachable_host_text(
    tr("Allowed host: use an IP address, a pattern such as 192.168.1.% or %; computer names "
       "cannot log in",
       "允许的主机：请填 IP 地址、192.168.1.% 这样的范围或 %；用电脑名无法登录"));
const std::string bind_text =
    "Server IP: 0.0.0.0 (all network cards) or an IPv4 address of this computer";

// The error text of the record with one field changed, or "" when it passes.
template <class Field, class Value>
std::string with(Field field, Value value, decltype(validate_settings)* rules = validate_settings) {
    ConnectionSettings s = valid();
    s.*field = value;
    return error_text(rules(s));
}

TEST(ValidateSettings, DefaultsPass) {
    EXPECT_TRUE(validate_settings(valid()).has_value());
    ConnectionSettings defaults = default_settings();
    EXPECT_TRUE(validate_settings(defaults).has_value());
}

TEST(ValidateSettings, Port) {
    EXPECT_EQ(with(&ConnectionSettings::port, 0), port_text);
    EXPECT_EQ(with(&ConnectionSettings::port, 1023), port_text);
    EXPECT_EQ(with(&ConnectionSettings::port, 1024), "");
    EXPECT_EQ(with(&ConnectionSettings::port, 65535), "");
}

TEST(ValidateSettings, Database) {
    EXPECT_EQ(with(&ConnectionSettings::database, std::string(64, 'd')), "");
    EXPECT_EQ(with(&ConnectionSettings::database, "A_z09"), "");
    for (std::string bad :
         {std::string(65, 'd'), std::string(), std::string("a-b"), std::string("a b"),
          std::string("caf\u00E9"), std::string("a.b"), std::string("a$b")})
        EXPECT_EQ(with(&ConnectionSettings::database, bad), database_text) << bad;
    // The server's own databases: refused for a new save, kept when already stored.
    for (const char* system : {"mysql", "SYS", "information_schema", "Performance_Schema"}) {
        EXPECT_EQ(with(&ConnectionSettings::database, system), system_database_text) << system;
        EXPECT_EQ(with(&ConnectionSettings::database, system, validate_stored_settings), "");
    }
}

TEST(ValidateSettings, User) {
    EXPECT_EQ(with(&ConnectionSettings::user, std::string(32, 'u')), "");
    EXPECT_EQ(with(&ConnectionSettings::user, std::string(33, 'u')), user_text);
    EXPECT_EQ(with(&ConnectionSettings::user, ""), user_text);
    EXPECT_EQ(with(&ConnectionSettings::user, "till-1"), user_text);
    for (const char* root : {"root", "ROOT", "Root", "rOoT"})
        EXPECT_EQ(with(&ConnectionSettings::user, root), root_text) << root;
    for (const char* fine : {"root1", "_root", "roo", "rootroot"})
        EXPECT_EQ(with(&ConnectionSettings::user, fine), "") << fine;
}

TEST(ValidateSettings, PasswordLengths) {
    EXPECT_EQ(with(&ConnectionSettings::password, std::string(7, 'p')), password_text);
    EXPECT_EQ(with(&ConnectionSettings::password, std::string(8, 'p')), "");
    EXPECT_EQ(with(&ConnectionSettings::password, std::string(64, 'p')), "");
    EXPECT_EQ(with(&ConnectionSettings::password, std::string(65, 'p')), password_text);
    EXPECT_EQ(with(&ConnectionSettings::password, ""), password_text);
    // Lengths are bytes: four two-byte letters are eight bytes but still fail, being non-ASCII.
    EXPECT_EQ(with(&ConnectionSettings::password, "\u00E9\u00E9\u00E9\u00E9"), password_text);
}

TEST(ValidateSettings, PasswordCharacters) {
    EXPECT_EQ(with(&ConnectionSettings::password, "!#$%&()*+,-./:;<=>?@[]^_{|}~az"), "");
    for (std::string bad : std::vector<std::string>{" ", "\t", "'", "\"", "\\", "`", "\u00E9",
                                                    std::string(1, '\x7F'), std::string(1, '\0')})
        EXPECT_EQ(with(&ConnectionSettings::password, "abcdefgh" + bad), password_text)
            << static_cast<int>(static_cast<unsigned char>(bad[0]));
}

TEST(ValidateSettings, Host) {
    for (const char* fine : {"%", "192.168.1.%", "10.%", "192.168.1.2_", "10.0.0.5", "LocalHost"})
        EXPECT_EQ(with(&ConnectionSettings::host, fine), "") << fine;
    // The server skips name lookups and listens on IPv4: these never log in, but stored ones load.
    for (const char* name :
         {"shop-pc-01", "fe80::1", "a_b", "192.168.1", "192.168.01.5", "10..%"}) {
        EXPECT_EQ(with(&ConnectionSettings::host, name), unreachable_host_text) << name;
        EXPECT_EQ(with(&ConnectionSettings::host, name, validate_stored_settings), "") << name;
    }
    EXPECT_EQ(with(&ConnectionSettings::host, std::string(60, 'h'), validate_stored_settings), "");
    for (std::string bad : {std::string(61, 'h'), std::string(), std::string("shop pc"),
                            std::string("a/b"), std::string("a*"), std::string("h\u00F6st")})
        EXPECT_EQ(with(&ConnectionSettings::host, bad), host_text) << bad;
}

TEST(ValidateSettings, Bind) {
    for (const char* fine : {"0.0.0.0", "192.168.1.10", "255.255.255.255", "10.0.0.1", "1.2.3.4"})
        EXPECT_EQ(with(&ConnectionSettings::bind, fine), "") << fine;
    for (const char* bad :
         {"192.168.01.10", "010.0.0.1", "00.0.0.0", "192.168.1.10 ", " 192.168.1.10", "192.168.1",
          "192.168.1.1.1", "192.168..1", "256.1.1.1", "1.2.3.4.", ".1.2.3.4", "shop-pc", "",
          "1.2.3.-4", "1.2.3.+4", "1234.1.1.1", "::1", "1,2,3,4"})
        EXPECT_EQ(with(&ConnectionSettings::bind, bad), bind_text) << bad;
}

TEST(ValidateSettings, RootPasswordAndFirewallAreNotChecked) {
    ConnectionSettings s = valid();
    s.root_password = "has 'quotes' and blanks";
    s.firewall = false;
    EXPECT_TRUE(validate_settings(s).has_value());
}

TEST(ValidateSettings, OnlyTheFirstFailingRuleIsReported) {
    ConnectionSettings s = {.port = 80,
                            .database = "bad-db",
                            .user = "root",
                            .password = "short",
                            .host = "a b",
                            .bind = "x",
                            .firewall = true,
                            .root_password = ""};
    EXPECT_EQ(error_text(validate_settings(s)), port_text);
    s.port = 4000;
    EXPECT_EQ(error_text(validate_settings(s)), database_text);
    s.database = "mysql";
    EXPECT_EQ(error_text(validate_settings(s)), system_database_text);
    s.database = "db";
    EXPECT_EQ(error_text(validate_settings(s)), root_text);
    s.user = "Bad User";
    EXPECT_EQ(error_text(validate_settings(s)), user_text);
    s.user = "till";
    EXPECT_EQ(error_text(validate_settings(s)), password_text);
    s.password = "long-enough";
    EXPECT_EQ(error_text(validate_settings(s)), host_text);
    s.host = "till-pc";
    EXPECT_EQ(error_text(validate_settings(s)), unreachable_host_text);
    s.host = "%";
    EXPECT_EQ(error_text(validate_settings(s)), bind_text);
}

std::vector<Ipv4> machine() {
    return {{192, 168, 1, 10}, {10, 0, 0, 7}};
}

TEST(CheckBindAddress, AgainstGivenAddresses) {
    int asked = 0;
    auto counted = [&] {
        ++asked;
        return machine();
    };
    EXPECT_TRUE(check_bind_address("0.0.0.0", counted).has_value());
    EXPECT_EQ(error_text(check_bind_address("192.168.001.10", counted)), "bad server IP");
    EXPECT_EQ(error_text(check_bind_address("10.0.0.7 ", counted)), "bad server IP");
    EXPECT_EQ(asked, 0) << "the machine is asked only for a well-formed address";
    EXPECT_TRUE(check_bind_address("10.0.0.7", counted).has_value());
    EXPECT_EQ(error_text(check_bind_address("10.0.0.8", counted)),
              "Server IP 10.0.0.8 is not an address of this computer (use 0.0.0.0 for all "
              "network cards)");
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(
        check_bind_address("192.168.1.10", [] { return std::vector<Ipv4>{}; }).has_value());
}

TEST(CheckBindAddress, OnThisMachine) {
    EXPECT_TRUE(check_bind_address("0.0.0.0").has_value());
    EXPECT_EQ(error_text(check_bind_address("127.0.0.1")),
              "Server IP 127.0.0.1 is not an address of this computer (use 0.0.0.0 for all "
              "network cards)");
    EXPECT_FALSE(check_bind_address("169.254.1.1").has_value());
    for (const Ipv4& own : local_ipv4_addresses())
        EXPECT_TRUE(check_bind_address(ipv4_text(own)).has_value()) << ipv4_text(own);
}

} // namespace
