// --apply on an installed server: what each kind of change triggers (firewall rule, my.ini,
// restart, account SQL) and that connection.ini is saved only after the server agrees.
#include "server.h"

#include "base/text.h"
#include "config/settings.h"
#include "instance/paths.h"
#include "svc/apply.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace e2e;

namespace {

class Apply : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.installed());
        pid = server_pid();
        clear_tool_state();
    }
    Finished apply(const ConnectionSettings& settings) {
        const std::string config = server.folder().program_data() + "\\apply.ini";
        e2e::write_file(config, render_settings(settings));
        auto finished = server.mode({"--apply", "--config", config});
        EXPECT_FALSE(exists(config));
        return finished;
    }
    static unsigned long server_pid() {
        auto servers = bench_servers();
        return servers.size() == 1 ? servers[0].pid : 0;
    }
    static size_t sql_runs() { return client_calls("mysql").size(); }
    bool logs_in(const ConnectionSettings& s, unsigned short port) {
        return query_over_tcp(s.user, s.password, port, "SELECT 1;", s.database).exit_code == 0;
    }

    InstalledServer server;
    unsigned long pid = 0;
};

TEST_F(Apply, UnchangedRecordReappliesRuleAndAccountWithoutRestart) {
    auto settings = server.settings();
    EXPECT_EQ(apply(settings).exit_code, 0u);
    EXPECT_EQ(server_pid(), pid) << "the server was restarted";
    EXPECT_EQ(sql_runs(), 1u);
    auto netsh = tool_calls("netsh");
    ASSERT_EQ(netsh.size(), 3u);
    EXPECT_EQ(netsh[0][2], "delete");
    EXPECT_EQ(netsh[1][2], "show");
    EXPECT_EQ(netsh[2][2], "add");
    EXPECT_EQ(server.settings(), settings);
}

TEST_F(Apply, NewPasswordOnlyChangesTheAccount) {
    auto old_settings = server.settings();
    auto settings = old_settings;
    settings.password = "Another-Pass-99";
    EXPECT_EQ(apply(settings).exit_code, 0u);
    EXPECT_EQ(server_pid(), pid);
    EXPECT_TRUE(logs_in(settings, server.port()));
    EXPECT_FALSE(logs_in(old_settings, server.port()));
    EXPECT_EQ(server.settings().password, "Another-Pass-99");
}

TEST_F(Apply, NewUserIsGrantedAndTheOldOneDropped) {
    auto old_settings = server.settings();
    auto settings = old_settings;
    settings.user = "till_user";
    settings.host = "%";
    EXPECT_EQ(apply(settings).exit_code, 0u);
    EXPECT_TRUE(logs_in(settings, server.port()));
    EXPECT_FALSE(logs_in(old_settings, server.port()));
    auto users = mysql_as_root("SELECT user FROM mysql.user WHERE user LIKE '%till%' OR user = 'kelta_retail';",
                               settings.root_password);
    EXPECT_EQ(users.output, "till_user\n");
}

TEST_F(Apply, NewPortRewritesMyIniRestartsAndMovesTheRule) {
    auto settings = server.settings();
    settings.port = free_tcp_port();
    EXPECT_EQ(apply(settings).exit_code, 0u) << e2e::read_file(server.folder().path("tray.log"));
    EXPECT_NE(server_pid(), pid) << "no restart";
    EXPECT_NE(e2e::read_file(my_ini_path()).find("\r\nport=" + std::to_string(settings.port) + "\r\n"),
              std::string::npos);
    EXPECT_TRUE(tcp_listener(settings.port));
    EXPECT_TRUE(logs_in(settings, settings.port));
    auto rules = lines_of(e2e::read_file("C:\\kelta-bench\\state\\netsh.txt"));
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_NE(rules[0].find("\t" + std::to_string(settings.port) + "\t"), std::string::npos);
    EXPECT_EQ(server.settings().port, settings.port);
}

TEST_F(Apply, TypedRootPasswordIsIgnoredWhenOneIsStored) {
    auto stored = server.settings();
    auto settings = stored;
    settings.root_password = "TypedByHand1";
    EXPECT_EQ(apply(settings).exit_code, 0u);
    EXPECT_EQ(server.settings().root_password, stored.root_password);
    EXPECT_EQ(mysql_as_root("SELECT 1;", stored.root_password).exit_code, 0);
}

TEST_F(Apply, FailingSqlKeepsTheStoredRecord) {
    auto stored = server.settings();
    // The server's root password no longer matches the stored one.
    ASSERT_EQ(mysql_as_root("ALTER USER 'root'@'localhost' IDENTIFIED BY 'Changed-Elsewhere1';",
                            stored.root_password)
                  .exit_code,
              0);
    auto settings = stored;
    settings.password = "Never-Saved-123";
    EXPECT_EQ(apply(settings).exit_code, 1u);
    EXPECT_EQ(server.settings(), stored);
    auto log = server.log();
    EXPECT_TRUE(std::ranges::any_of(log, [](const std::string& line) {
        return line.starts_with("--apply failed: mysql (root): ERROR 1045");
    })) << e2e::read_file(server.folder().path("tray.log"));
}

TEST(ApplyNotInstalled, OnlyConnectionIniIsWritten) {
    TestFolder folder;
    remove_service("KeltaMySQL57");
    clear_tool_state();
    auto settings = default_settings();
    settings.port = 4406;
    const std::string config = folder.program_data() + "\\apply.ini";
    e2e::write_file(config, render_settings(settings));
    auto finished = run({{"--apply", "--config", config, "--quiet"}, {{"ProgramData", folder.program_data()}}});
    EXPECT_EQ(finished.exit_code, 0u);
    // Everything but the root password, which never comes from the caller: install would give it
    // to a new server.
    auto stored = read_settings_file(folder.path("connection.ini")).value_or(ConnectionSettings{});
    EXPECT_NE(std::exchange(stored.root_password, settings.root_password), settings.root_password);
    EXPECT_EQ(stored, settings);
    EXPECT_FALSE(exists(folder.path("my.ini")));
    EXPECT_TRUE(tool_calls("netsh").empty());
    EXPECT_TRUE(client_calls("mysql").empty());
}

// A service that could not be asked about may well exist: apply fails with the reason and
// saves nothing (Wine's Service Control Manager never refuses, so the query is given here).
TEST(ApplyNotInstalled, AFailedServiceQueryIsNoMissingService) {
    TestFolder folder;
    SetEnvironmentVariableW(L"ProgramData", widen(folder.program_data()).c_str());
    auto refused = ::apply(default_settings(), +[]() -> Result<ServiceQuery> {
        return fail(win32_error_text("OpenService", ERROR_ACCESS_DENIED));
    });
    SetEnvironmentVariableW(L"ProgramData", nullptr);
    EXPECT_EQ(error_text(refused), "OpenService (Win32 error 5)");
    EXPECT_FALSE(exists(folder.path("connection.ini")));
}

} // namespace
