// Pure rules of the service core, and the Service Control Manager answers for a service that
// does not exist (the real SCM under Wine).
#include "instance/paths.h"
#include "svc/init.h"
#include "svc/service.h"
#include "svc/status.h"

#include <gtest/gtest.h>

#include <windows.h>


namespace {

bool yes() { return true; }
bool no() { return false; }
bool must_not_be_asked() {
    ADD_FAILURE() << "the port was probed for a service that is not running";
    return false;
}

TEST(ServiceStatus, StatesMapToSixValues) {
    EXPECT_EQ(status_of_state(SERVICE_STOPPED, must_not_be_asked), ServiceStatus::Stopped);
    EXPECT_EQ(status_of_state(SERVICE_PAUSED, must_not_be_asked), ServiceStatus::Stopped);
    EXPECT_EQ(status_of_state(SERVICE_START_PENDING, must_not_be_asked), ServiceStatus::Starting);
    EXPECT_EQ(status_of_state(SERVICE_CONTINUE_PENDING, must_not_be_asked), ServiceStatus::Starting);
    EXPECT_EQ(status_of_state(SERVICE_STOP_PENDING, must_not_be_asked), ServiceStatus::Stopping);
    EXPECT_EQ(status_of_state(SERVICE_PAUSE_PENDING, must_not_be_asked), ServiceStatus::Stopping);
    EXPECT_EQ(status_of_state(SERVICE_RUNNING, yes), ServiceStatus::Running);
    EXPECT_EQ(status_of_state(SERVICE_RUNNING, no), ServiceStatus::RunningNotAccepting);
}

TEST(PortProbe, TargetIsTheBindAddressUnlessAnyOrUnusable) {
    EXPECT_EQ(probe_target(std::nullopt), (Ipv4{127, 0, 0, 1}));
    EXPECT_EQ(probe_target("0.0.0.0"), (Ipv4{127, 0, 0, 1}));
    EXPECT_EQ(probe_target("localhost"), (Ipv4{127, 0, 0, 1}));
    EXPECT_EQ(probe_target("192.168.1.256"), (Ipv4{127, 0, 0, 1}));
    EXPECT_EQ(probe_target("192.168.1.10"), (Ipv4{192, 168, 1, 10}));
}

TEST(PortProbe, ListenerOnAnyOrTargetAddressCounts) {
    const Ipv4 target{192, 168, 1, 10};
    std::vector<Listener> any{{{0, 0, 0, 0}, 3307}};
    std::vector<Listener> exact{{{192, 168, 1, 10}, 3307}};
    std::vector<Listener> elsewhere{{{127, 0, 0, 1}, 3307}, {{192, 168, 1, 10}, 3308}};
    EXPECT_TRUE(listener_accepts(any, target, 3307));
    EXPECT_TRUE(listener_accepts(exact, target, 3307));
    EXPECT_FALSE(listener_accepts(elsewhere, target, 3307));
    EXPECT_FALSE(listener_accepts({}, target, 3307));
}

ConnectionSettings account(std::string user, std::string host, std::string password = "Secret123",
                           std::string database = "kelta_retail") {
    ConnectionSettings s;
    s.user = std::move(user);
    s.host = std::move(host);
    s.password = std::move(password);
    s.database = std::move(database);
    return s;
}

TEST(AccountSql, FiveLinesWithoutPreviousSettings) {
    EXPECT_EQ(account_sql(account("kelta_retail", "%"), std::nullopt),
              "CREATE DATABASE IF NOT EXISTS `kelta_retail` CHARACTER SET utf8mb4 COLLATE "
              "utf8mb4_unicode_ci;\n"
              "CREATE USER IF NOT EXISTS 'kelta_retail'@'%' IDENTIFIED BY 'Secret123';\n"
              "ALTER USER 'kelta_retail'@'%' IDENTIFIED BY 'Secret123';\n"
              "GRANT ALL PRIVILEGES ON `kelta_retail`.* TO 'kelta_retail'@'%';\n"
              "FLUSH PRIVILEGES;\n");
}

TEST(AccountSql, OldAccountDroppedOnlyWhenUserOrHostChanged) {
    auto now = account("pos", "%");
    EXPECT_EQ(account_sql(now, account("pos", "%", "Other1234", "other_db")).find("DROP"),
              std::string::npos);
    std::string sql = account_sql(now, account("old_pos", "192.168.1.%"));
    EXPECT_NE(sql.find("GRANT ALL PRIVILEGES ON `kelta_retail`.* TO 'pos'@'%';\n"
                       "DROP USER IF EXISTS 'old_pos'@'192.168.1.%';\nFLUSH PRIVILEGES;\n"),
              std::string::npos);
    EXPECT_NE(account_sql(now, account("pos", "localhost")).find("DROP USER IF EXISTS 'pos'@'localhost';"),
              std::string::npos);
}

TEST(AccountSql, HandEditedPreviousAccountCannotEndItsString) {
    std::string sql = account_sql(account("pos", "%"), account("x'; DROP DATABASE y; --", "%\\"));
    EXPECT_NE(sql.find("DROP USER IF EXISTS 'x\\'; DROP DATABASE y; --'@'%\\\\';"), std::string::npos);
}

TEST(RootPassword, SqlBreakingCharactersAreRefused) {
    EXPECT_TRUE(check_root_password("abcDEF123-_").has_value());
    EXPECT_TRUE(check_root_password("with space and !#$%&()*+,./:;<=>?@[]^{|}~").has_value());
    for (const std::string& bad : std::vector<std::string>{"a'b", "a\"b", "a\\b", "a`b", "a\nb", "a\tb", std::string("a\0b", 3), "a\x7f"}) {
        auto checked = check_root_password(bad);
        ASSERT_FALSE(checked.has_value()) << bad;
        EXPECT_EQ(checked.error(),
                  "Root password: no quotes, backticks, backslashes or control characters");
    }
}

TEST(ServiceTexts, Win32ErrorTextNamesTheCall) {
    EXPECT_EQ(win32_error_text("OpenSCManager", 5), "OpenSCManager (Win32 error 5)");
    SetLastError(1060);
    EXPECT_EQ(win32_error_text("OpenService"), "OpenService (Win32 error 1060)");
}

TEST(ServiceTexts, BinaryPathQuotesBothPaths) {
    std::string expected(1, '"');
    expected += mysql_program_path("mysqld.exe");
    expected += "\" --defaults-file=\"";
    expected += my_ini_path();
    expected += "\" KeltaMySQL57";
    EXPECT_EQ(service_binary_path(), expected);
}

} // namespace
