// --uninstall removes what install registered with Windows and nothing else.
#include "fake_service.h"
#include "server.h"

#include "base/files.h"
#include "base/handles.h"
#include "base/text.h"
#include "instance/paths.h"
#include "jobs/operation_lock.h"
#include "svc/status.h"
#include "svc/uninstall.h"

#include <gtest/gtest.h>

using namespace e2e;
using namespace std::literals;

namespace {

TEST(Uninstall, WithoutAServiceStillRemovesRuleAndTask) {
    TestFolder folder;
    remove_service("KeltaMySQL57");
    clear_tool_state();
    for (int i = 0; i < 2; ++i) {
        auto finished = run({{"--uninstall", "--quiet"}, {{"ProgramData", folder.program_data()}}});
        EXPECT_EQ(finished.exit_code, 0u);
    }
    // Each delete that finds nothing is followed by a look whether there is nothing indeed.
    auto netsh = tool_calls("netsh");
    ASSERT_EQ(netsh.size(), 4u);
    EXPECT_EQ(netsh[0], (std::vector<std::string>{"advfirewall", "firewall", "delete", "rule",
                                                  "name=KELTA Retail MySQL"}));
    EXPECT_EQ(netsh[1][2], "show");
    auto schtasks = tool_calls("schtasks");
    ASSERT_EQ(schtasks.size(), 8u);
    EXPECT_EQ(schtasks[0], (std::vector<std::string>{"/Delete", "/TN",
                                                     "KELTA Retail MySQL Log Rotation", "/F"}));
    EXPECT_EQ(schtasks[1][0], "/Query");
    EXPECT_EQ(schtasks[2],
              (std::vector<std::string>{"/Delete", "/TN", "KELTA Retail MySQL Backup", "/F"}));
    EXPECT_FALSE(exists(folder.path("tray.log")));

    // A rule netsh can neither delete nor show may still be open: the uninstall is done, and
    // says so.
    force_tool_exit("netsh", 5);
    EXPECT_EQ(run({{"--uninstall", "--quiet"}, {{"ProgramData", folder.program_data()}}}).exit_code,
              0u);
    EXPECT_NE(e2e::read_file(folder.path("tray.log"))
                  .find(" --uninstall: Firewall rule: netsh advfirewall: exit code Some(5)\n"),
              std::string::npos);
    clear_tool_state();
}

TEST(Uninstall, DataStaysAndTheNextInstallReusesTheRootPassword) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    const auto settings = server.settings();
    const std::string ini = e2e::read_file(my_ini_path());
    const std::string connection = e2e::read_file(settings_path());

    EXPECT_EQ(server.mode({"--uninstall"}).exit_code, 0u);
    EXPECT_EQ(service_status(), ServiceStatus::NotInstalled);
    EXPECT_TRUE(bench_servers().empty());
    EXPECT_TRUE(lines_of(e2e::read_file("C:\\kelta-bench\\state\\netsh.txt")).empty());
    EXPECT_TRUE(lines_of(e2e::read_file("C:\\kelta-bench\\state\\schtasks.txt")).empty());
    EXPECT_EQ(e2e::read_file(my_ini_path()), ini);
    EXPECT_EQ(e2e::read_file(settings_path()), connection);
    EXPECT_TRUE(is_directory(join_path(data_dir(), "mysql")));
    EXPECT_EQ(server.mode({"--uninstall"}).exit_code, 0u) << "a second uninstall";

    EXPECT_EQ(server.mode({"--install"}).exit_code, 0u);
    EXPECT_EQ(server.settings().root_password, settings.root_password);
    EXPECT_EQ(mysql_as_root("SELECT 1;", settings.root_password).exit_code, 0);
}

// A removal finishes: past an operation that holds the lock longer than it waits (the test build
// waits five seconds), and past a server that does not stop within the stop's limit.
TEST(Uninstall, FinishesPastAHeldLockAndAServerThatDoesNotStop) {
    TestFolder folder;
    SetEnvironmentVariableW(L"ProgramData", widen(folder.program_data()).c_str());
    clear_tool_state();
    {
        auto held = take_operation_lock("--backup");
        ASSERT_TRUE(held);
        EXPECT_EQ(run({{"--uninstall", "--quiet"},
                       {{"ProgramData", folder.program_data()}},
                       app_exe("KeltaMySQL-shortlock.exe")})
                      .exit_code,
                  0u);
    }
    EXPECT_EQ(tool_calls("netsh").size(), 2u); // the delete, and the look that nothing is left
    EXPECT_NE(e2e::read_file(folder.path("tray.log")).find("--uninstall went on after waiting"),
              std::string::npos);

    FakeService server(0, 600000);
    ASSERT_TRUE(server.start());
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, server.process_id()));
    ASSERT_TRUE(process);
    EXPECT_TRUE(uninstall({.stop = 2s}));
    EXPECT_EQ(WaitForSingleObject(process.get(), 0), WAIT_OBJECT_0);
    EXPECT_NE(e2e::read_file(folder.path("tray.log")).find("--uninstall ended the MySQL server"),
              std::string::npos);
}

} // namespace
