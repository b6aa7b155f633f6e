// Start of the tray program at logon: the Run value that --autostart and set_run_at_logon write,
// remove and read back.
#include "harness.h"
#include "user_registry.h"

#include "base/registry.h"
#include "base/text.h"
#include "instance/paths.h"
#include "ui/logon.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

const std::string run_value = "KELTA Retail MySQL";

class StartAtLogon : public ::testing::Test {
  protected:
    unsigned long autostart(std::vector<std::string> arguments,
                            const std::string& program = app_exe()) {
        arguments.insert(arguments.begin(), "--autostart");
        Launch launch{arguments,
                      {{"ProgramData", folder_.program_data()}, {"KELTA_TEST_DECLINE", "1"}},
                      program};
        return run(launch).exit_code;
    }
    std::optional<std::string> value() { return user_string(run_key, run_value); }
    static std::string quoted(const std::string& path) { return "\"" + path + "\""; }

    SavedUserValue saved_{run_key, run_value};
    TestFolder folder_;
};

TEST_F(StartAtLogon, ModeWritesTheQuotedExecutablePath) {
    delete_user_value(run_key, run_value);
    EXPECT_EQ(autostart({}), 0u);
    EXPECT_EQ(value(), quoted(app_exe()));
    EXPECT_TRUE(is_run_at_logon());
    // Switching on again leaves one value, pointing at the program that ran last. The
    // relaunch would be declined: the mode needs no administrator.
    EXPECT_EQ(autostart({"--quiet"}, app_exe("KeltaMySQL-unelevated.exe")), 0u);
    EXPECT_EQ(value(), quoted(app_exe("KeltaMySQL-unelevated.exe")));
    EXPECT_FALSE(exists(folder_.path("tray.log")));
}

TEST_F(StartAtLogon, OnlyLowerCaseOffSwitchesOff) {
    set_user_string(run_key, run_value, "\"C:\\Old Place\\KeltaMySQL.exe\"");
    EXPECT_EQ(autostart({"off"}), 0u);
    EXPECT_EQ(value(), std::nullopt);
    EXPECT_FALSE(is_run_at_logon());
    // Off when it is off already succeeds.
    EXPECT_EQ(autostart({"off", "--quiet"}), 0u);
    EXPECT_EQ(value(), std::nullopt);
    EXPECT_EQ(autostart({"OFF"}), 0u);
    EXPECT_EQ(value(), quoted(app_exe()));
    delete_user_value(run_key, run_value);
    EXPECT_EQ(autostart({"on"}), 0u);
    EXPECT_EQ(value(), quoted(app_exe()));
    EXPECT_FALSE(exists(folder_.path("tray.log")));
}

TEST_F(StartAtLogon, OnMeansTheValueExistsAsText) {
    // An older path of the program still counts: the content is not compared.
    set_user_string(run_key, run_value, "\"D:\\Older\\KeltaMySQL.exe\"");
    EXPECT_TRUE(is_run_at_logon());
    set_user_dword(run_key, run_value, 1);
    EXPECT_FALSE(is_run_at_logon());
    delete_user_value(run_key, run_value);
    EXPECT_FALSE(is_run_at_logon());
}

TEST_F(StartAtLogon, InProcessSwitch) {
    ASSERT_TRUE(set_run_at_logon(true));
    auto exe = executable_path();
    ASSERT_TRUE(exe);
    EXPECT_EQ(value(), quoted(*exe));
    ASSERT_TRUE(set_run_at_logon(false));
    EXPECT_FALSE(is_run_at_logon());
    EXPECT_TRUE(set_run_at_logon(false));
}

// The package's start for every user shows as on; switched off (the General page runs elevated),
// it goes for everyone, and the package's repairs and upgrades remember that.
TEST_F(StartAtLogon, OffAlsoEndsThePackagesStartForEveryUser) {
    delete_user_value(run_key, run_value);
    UniqueKey machine = create_key_for_values(HKEY_LOCAL_MACHINE, run_key);
    ASSERT_EQ(write_string(machine.get(), run_value, quoted(app_exe())), 0u);
    EXPECT_TRUE(is_run_at_logon());
    EXPECT_EQ(autostart({"off", "--quiet"}), 0u);
    EXPECT_FALSE(is_run_at_logon());
    EXPECT_EQ(read_string(HKEY_LOCAL_MACHINE, e2e::program_key, "TrayAtLogon", 8), "0");
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, widen(e2e::program_key).c_str(), L"TrayAtLogon");
    delete_value(machine.get(), run_value);
}

} // namespace
