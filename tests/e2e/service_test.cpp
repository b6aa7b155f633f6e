// The service core against the bench's real MySQL 5.7 server: start, stop and restart through
// the command line, the six states of service_status, the port probe, root SQL, data-directory
// initialization and log rotation.
#include "server.h"

#include "base/files.h"
#include "base/handles.h"
#include "base/text.h"
#include "instance/paths.h"
#include "svc/client.h"
#include "svc/control.h"
#include "svc/init.h"
#include "svc/myini.h"
#include "svc/service.h"
#include "svc/status.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace e2e;
using namespace std::chrono_literals;

namespace {

bool start_without_waiting() {
    auto service = open_service(SERVICE_START);
    return service && *service && StartServiceW((*service)->get(), 0, nullptr);
}

ServiceStatus wait_for_status(ServiceStatus wanted, std::chrono::seconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    ServiceStatus seen = service_status();
    while (seen != wanted && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(100ms);
        seen = service_status();
    }
    return seen;
}

TEST(ServiceControl, StartStopRestartThroughTheCommandLine) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    EXPECT_EQ(service_status(), ServiceStatus::Running);
    EXPECT_TRUE(tcp_listener(server.port()));

    EXPECT_EQ(server.mode({"--stop"}).exit_code, 0u);
    EXPECT_EQ(service_status(), ServiceStatus::Stopped);
    EXPECT_FALSE(tcp_listener(server.port()));
    EXPECT_TRUE(bench_servers().empty()) << "the Linux server is gone with the service";
    EXPECT_EQ(server.mode({"--stop"}).exit_code, 0u) << "stopping a stopped service";

    // Starting a stopped server rotates a full error log first.
    e2e::write_file(error_log_path(), std::string(10485761, 'e'));
    size_t runs = service_runs();
    EXPECT_EQ(server.mode({"--start"}).exit_code, 0u);
    EXPECT_EQ(service_status(), ServiceStatus::Running);
    EXPECT_EQ(file_size(error_log_path() + ".1"), 10485761u);
    EXPECT_EQ(service_runs(), runs + 1);

    // Starting a running server only probes its port.
    auto again = server.mode({"--start"});
    EXPECT_EQ(again.exit_code, 0u);
    EXPECT_EQ(service_runs(), runs + 1) << "StartService was called for a running service";
    EXPECT_LT(again.elapsed, 3s);

    auto before = bench_servers();
    EXPECT_EQ(server.mode({"--restart"}).exit_code, 0u);
    auto after = bench_servers();
    ASSERT_EQ(before.size(), 1u);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_NE(before[0].pid, after[0].pid) << "restart left the same server running";
    EXPECT_EQ(service_status(), ServiceStatus::Running);
    EXPECT_TRUE(server.log().empty());
}

TEST(ServiceControl, StatusWhileStartingAndRestartThatCannotStop) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    ASSERT_TRUE(stop_service().has_value());
    bench_control("mysqld.ready-delay", "8");
    size_t runs = service_runs();
    ASSERT_TRUE(start_without_waiting());
    EXPECT_EQ(wait_for_status(ServiceStatus::Starting, 5s), ServiceStatus::Starting);

    // A starting service takes no stop request, so the restart fails and never starts again.
    auto restart = server.mode({"--restart"});
    EXPECT_EQ(restart.exit_code, 1u);
    auto log = server.log();
    ASSERT_EQ(log.size(), 1u);
    // Windows refuses with 1061 (cannot accept control now), Wine with 1052 (invalid control).
    EXPECT_TRUE(log[0].starts_with("--restart failed: ControlService(stop) (Win32 error 10")) << log[0];
    EXPECT_EQ(service_runs(), runs + 1);
    EXPECT_EQ(wait_for_status(ServiceStatus::Running, 30s), ServiceStatus::Running);
}

TEST(ServiceControl, RunningButNotAccepting) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    ASSERT_TRUE(stop_service().has_value());
    bench_control("mysqld.skip-networking");
    ASSERT_TRUE(start_without_waiting());
    ASSERT_TRUE(wait_for_state(SERVICE_RUNNING, 30s).has_value());
    EXPECT_EQ(service_status(), ServiceStatus::RunningNotAccepting);
    EXPECT_EQ(error_text(start_service({.port = 2s})),
              "MySQL is running but port " + std::to_string(server.port()) +
                  " does not accept connections; see " + error_log_path());
    EXPECT_EQ(error_text(client_command("mysqldump.exe", server.settings().root_password)),
              "MySQL is not running");
}

TEST(ServiceControl, StopTimeoutNamesTheStateAndTheErrorLog) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    // Asked to wait for a state the running service never reaches.
    EXPECT_EQ(error_text(wait_for_state(SERVICE_PAUSED, 1s)),
              "timeout waiting for service state 7; see " + error_log_path());
}

TEST(PortProbe, FollowsTheBindAddressOfMyIni) {
    InstalledServer server("bind=0.0.0.0\r\n");
    ASSERT_TRUE(server.installed());
    EXPECT_TRUE(port_accepts()) << "a listener on 0.0.0.0 counts for any target";

    // The server listens on 127.0.0.1 only; my.ini claiming another address means no.
    auto settings = server.settings();
    const std::string mysql_dir = join_path(app_dir(), "MySQL");
    settings.bind = "127.0.0.1";
    ASSERT_TRUE(write_my_ini(mysql_dir, settings).has_value());
    ASSERT_TRUE(restart_service().has_value());
    EXPECT_TRUE(port_accepts());
    EXPECT_TRUE(tcp_listener(server.port(), "127.0.0.1"));
    settings.bind = "192.0.2.77";
    ASSERT_TRUE(write_my_ini(mysql_dir, settings).has_value());
    EXPECT_FALSE(port_accepts());
    EXPECT_EQ(service_status(), ServiceStatus::RunningNotAccepting);

    // Another port: no.
    settings.bind = "0.0.0.0";
    settings.port = static_cast<std::uint16_t>(server.port() + 1);
    ASSERT_TRUE(write_my_ini(mysql_dir, settings).has_value());
    EXPECT_FALSE(port_accepts());
}

TEST(RootSql, ErrorsEndWithTheClientsLinesWithoutThePasswordWarning) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    const std::string root = server.settings().root_password;
    EXPECT_TRUE(run_sql_as_root(root, "CREATE TABLE kelta_retail.t (v INT);").has_value());

    EXPECT_EQ(error_text(run_sql_as_root("wrong-password", "SELECT 1;")),
              "mysql (root): ERROR 1045 (28000): Access denied for user 'root'@'localhost' "
              "(using password: YES)");
    auto syntax = error_text(run_sql_as_root(root, "SELECT 1;\nSELEC 2;"));
    EXPECT_TRUE(syntax.starts_with("mysql (root): ERROR 1064 (42000) at line 2:")) << syntax;

    ASSERT_TRUE(stop_service().has_value());
    auto stopped = error_text(run_sql_as_root(root, "SELECT 1;"));
    EXPECT_TRUE(stopped.starts_with("mysql (root): ERROR 2017")) << stopped;
    for (const auto& text : {syntax, stopped})
        EXPECT_EQ(text.find("Using a password"), std::string::npos);
    // Every client call carried the password in the environment, never on the command line.
    for (const auto& call : client_calls("mysql")) {
        EXPECT_TRUE(call.password_set);
        for (const auto& argument : call.arguments) EXPECT_EQ(argument.find(root), std::string::npos);
    }
}

class DataDirectory : public ::testing::Test {
  protected:
    void SetUp() override {
        SetEnvironmentVariableW(L"ProgramData", widen(folder.program_data()).c_str());
        ASSERT_TRUE(create_directories(data_root()).has_value());
        settings = default_settings();
        settings.port = free_tcp_port();
        ASSERT_TRUE(write_my_ini(base_dir(), settings).has_value());
        clear_tool_state();
    }
    void TearDown() override { SetEnvironmentVariableW(L"ProgramData", nullptr); }
    static std::string base_dir() { return join_path(app_dir(), "MySQL"); }
    static size_t initializations() {
        size_t n = 0;
        for (const auto& call : tool_calls("mysqld"))
            for (const auto& argument : call) n += argument == "--initialize-insecure";
        return n;
    }
    TestFolder folder;
    ConnectionSettings settings;
};

TEST_F(DataDirectory, FreshInitializationSetsRootPasswordAndAccount) {
    ASSERT_TRUE(initialize_data_dir(base_dir(), settings).has_value());
    EXPECT_TRUE(is_directory(join_path(data_dir(), "mysql")));
    EXPECT_FALSE(exists(init_sql_path()));
    auto calls = tool_calls("mysqld");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], (std::vector<std::string>{"--defaults-file=" + my_ini_path(),
                                                  "--initialize-insecure",
                                                  "--init-file=" + init_sql_path()}));
}

TEST_F(DataDirectory, ExistingDirectoryIsLeftAlone) {
    ASSERT_TRUE(create_directories(join_path(data_dir(), "mysql")).has_value());
    e2e::write_file(join_path(data_dir(), "ibdata1"), "precious");
    ASSERT_TRUE(initialize_data_dir(base_dir(), settings).has_value());
    EXPECT_EQ(e2e::read_file(join_path(data_dir(), "ibdata1")), "precious");
    EXPECT_EQ(initializations(), 0u);
}

// What a killed initialization leaves: a "mysql" folder, with the init file still beside it.
TEST_F(DataDirectory, UnfinishedDirectoryIsSetAsideAndMadeAgain) {
    ASSERT_TRUE(create_directories(join_path(data_dir(), "mysql")).has_value());
    e2e::write_file(join_path(data_dir(), "leftover.err"), "from a failed run");
    e2e::write_file(init_sql_path(), "ALTER USER 'root'@'localhost' IDENTIFIED BY 'x';\n");
    ASSERT_TRUE(initialize_data_dir(base_dir(), settings).has_value());
    EXPECT_EQ(initializations(), 1u);
    EXPECT_TRUE(exists(initialized_marker_path()));
    WIN32_FIND_DATAW aside{};
    UniqueFind found(FindFirstFileW(widen(data_dir() + ".incomplete-*").c_str(), &aside));
    ASSERT_TRUE(found);
    EXPECT_EQ(e2e::read_file(join_path(data_root(), narrow(aside.cFileName)) + "\\leftover.err"),
              "from a failed run");
}

TEST_F(DataDirectory, FailureNamesTheErrorLogAndRemovesTheInitFile) {
    settings.database = "broken`name";
    EXPECT_EQ(error_text(initialize_data_dir(base_dir(), settings)),
              "mysqld --initialize failed; see " + error_log_path());
    EXPECT_FALSE(exists(init_sql_path()));
    EXPECT_EQ(initializations(), 1u);
}

TEST_F(DataDirectory, RootPasswordThatWouldBreakTheSqlIsRefusedBeforeAnything) {
    settings.root_password = "it's";
    EXPECT_EQ(error_text(initialize_data_dir(base_dir(), settings)),
              "Root password: no quotes, backticks, backslashes or control characters");
    EXPECT_FALSE(exists(init_sql_path()));
    EXPECT_FALSE(exists(data_dir()));
    EXPECT_EQ(initializations(), 0u);
}

TEST(ServerRotation, RunningServerReopensItsErrorLog) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    const std::string log = error_log_path();
    ASSERT_GT(file_size(log).value_or(0), 0u);
    std::string old_content = e2e::read_file(log);
    EXPECT_EQ(server.mode({"--rotate-logs", "--limit", "10"}).exit_code, 0u);
    EXPECT_EQ(e2e::read_file(log + ".1"), old_content);
    EXPECT_TRUE(exists(log)) << "the server opened a new error.log";
    EXPECT_TRUE(server.log().empty());
}

TEST(ServerRotation, WrongRootPasswordPutsTheLogBack) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    auto settings = server.settings();
    settings.root_password = "not-the-root-password";
    ASSERT_TRUE(save_settings(settings).has_value());
    const std::string log = error_log_path();
    std::string old_content = e2e::read_file(log);
    e2e::write_file(log + ".1", "older copy");
    EXPECT_EQ(server.mode({"--rotate-logs", "--limit", "10"}).exit_code, 1u);
    // Back under its own name (the server has since noted the refused login in it), and the
    // older copies where they were: a rotation that could not finish moves none of them.
    EXPECT_TRUE(e2e::read_file(log).starts_with(old_content));
    EXPECT_EQ(e2e::read_file(log + ".1"), "older copy");
    auto lines = server.log();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines[0].starts_with("--rotate-logs failed: mysql (root): ERROR 1045")) << lines[0];
}

TEST(ServerRotation, RunningWithoutSettingsRenamesNothing) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    ASSERT_TRUE(delete_file(settings_path()));
    EXPECT_EQ(server.mode({"--rotate-logs", "--limit", "10"}).exit_code, 1u);
    EXPECT_FALSE(exists(error_log_path() + ".1"));
    auto lines = server.log();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "--rotate-logs failed: connection.ini not found");
}

} // namespace
