// The bench's stand-ins for netsh, schtasks and icacls really run in place of Wine's own, keep
// their state and exit codes as the real tools do; and the program starts them from the system
// folder, never from the current folder.
#include "harness.h"

#include "base/child.h"
#include "base/files.h"
#include "instance/paths.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

class Tools : public ::testing::Test {
  protected:
    void SetUp() override { clear_tool_state(); }
};

TEST_F(Tools, FirewallRulesAreKeptByName) {
    const std::string netsh = system_tool_path("netsh");
    const std::vector<std::string> add = {"advfirewall", "firewall", "add", "rule",
                                          "name=KELTA Retail MySQL", "dir=in", "action=allow",
                                          "protocol=TCP", "localport=3307", "profile=any"};
    const std::vector<std::string> show = {"advfirewall", "firewall", "show", "rule",
                                           "name=KELTA Retail MySQL"};
    const std::vector<std::string> remove = {"advfirewall", "firewall", "delete", "rule",
                                             "name=KELTA Retail MySQL"};
    EXPECT_EQ(error_text(run_hidden(netsh, show)), "exit code Some(1)");
    EXPECT_TRUE(run_hidden(netsh, add).has_value());
    EXPECT_TRUE(run_hidden(netsh, show).has_value());
    EXPECT_TRUE(run_hidden(netsh, remove).has_value());
    EXPECT_EQ(error_text(run_hidden(netsh, remove)), "exit code Some(1)");
    auto calls = tool_calls("netsh");
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[1], add);
}

TEST_F(Tools, TasksAreReplacedOnlyWithF) {
    const std::string schtasks = system_tool_path("schtasks");
    std::vector<std::string> create = {"/Create", "/TN", "T", "/TR", "\"C:\\a b\\k.exe\" --x",
                                       "/SC", "DAILY", "/ST", "03:00", "/RU", "SYSTEM", "/RL", "HIGHEST"};
    EXPECT_TRUE(run_hidden(schtasks, create).has_value());
    EXPECT_EQ(error_text(run_hidden(schtasks, create)), "exit code Some(1)");
    create.push_back("/F");
    EXPECT_TRUE(run_hidden(schtasks, create).has_value());
    EXPECT_TRUE(run_hidden(schtasks, {"/Query", "/TN", "T"}).has_value());
    EXPECT_TRUE(run_hidden(schtasks, {"/Delete", "/TN", "T", "/F"}).has_value());
    EXPECT_EQ(error_text(run_hidden(schtasks, {"/Delete", "/TN", "T", "/F"})), "exit code Some(1)");
    EXPECT_EQ(tool_calls("schtasks")[0][4], "\"C:\\a b\\k.exe\" --x");
}

TEST_F(Tools, IcaclsFailsForMissingFilesAndObeysForcedCodes) {
    const std::string icacls = system_tool_path("icacls");
    EXPECT_EQ(error_text(run_hidden(icacls, {"C:\\no-such-file.ini", "/inheritance:r"})),
              "exit code Some(2)");
    e2e::write_file("C:\\kelta-test\\acl.ini", "x");
    EXPECT_TRUE(run_hidden(icacls, {"C:\\kelta-test\\acl.ini", "/inheritance:r", "/grant:r",
                                    "*S-1-5-18:F", "*S-1-5-32-544:F"})
                    .has_value());
    force_tool_exit("icacls", 5);
    EXPECT_EQ(error_text(run_hidden(icacls, {"C:\\kelta-test\\acl.ini"})), "exit code Some(5)");
}

TEST_F(Tools, PlantedProgramInTheCurrentFolderIsNotRun) {
    // A netsh.exe in the current folder that would log itself as schtasks.
    const std::string planted = "C:\\kelta-test\\planted";
    delete_tree(planted);
    ASSERT_TRUE(create_directories(planted).has_value());
    ASSERT_TRUE(CopyFileW(L"C:\\windows\\system32\\schtasks.exe", L"C:\\kelta-test\\planted\\netsh.exe", FALSE));
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    SetCurrentDirectoryW(L"C:\\kelta-test\\planted");
    auto result = run_hidden(system_tool_path("netsh"), {"advfirewall", "firewall", "show", "rule", "name=x"});
    SetCurrentDirectoryW(saved);
    EXPECT_EQ(error_text(result), "exit code Some(1)");
    EXPECT_EQ(tool_calls("netsh").size(), 1u);
    EXPECT_TRUE(tool_calls("schtasks").empty());
}

} // namespace
