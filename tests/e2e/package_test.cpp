// msiexec on the package with the bench's stand-ins: a failed install, an install, a removal.
#include "fake_service.h"
#include "server.h"
#include "setup_window.h"

#include "base/files.h"
#include "base/registry.h"
#include "base/text.h"
#include "instance/paths.h"
#include "svc/status.h"

#include <msi.h>

#include <gtest/gtest.h>

using namespace e2e;
using namespace std::literals;

namespace {

// A value of the installed product's entry in Add/Remove Programs; "none" when not installed.
std::string uninstall_entry(const char* name) {
    wchar_t code[39] = {};
    MsiEnumRelatedProductsW(L"{39907AFA-E5C3-4373-B607-D61574EFA512}", 0, 0, code);
    const auto key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + narrow(code);
    return read_string(HKEY_LOCAL_MACHINE, key, name, 64).value_or("none");
}

// The package installs where the bench keeps its copy of the program, which waits aside meanwhile.
struct BenchCopyAside {
    BenchCopyAside() { MoveFileExW(widen(app_dir()).c_str(), widen(aside).c_str(), 0); }
    ~BenchCopyAside() {
        remove_service("KeltaMySQL57");
        delete_tree(app_dir());
        EXPECT_TRUE(MoveFileExW(widen(aside).c_str(), widen(app_dir()).c_str(), 0));
    }
    const std::string aside = app_dir() + ".bench";
};

TEST(Package, FailedInstallThenInstallAndRemoval) {
    TestFolder folder;
    SetEnvironmentVariableW(L"ProgramData", widen(folder.program_data()).c_str());
    BenchCopyAside bench_copy;
    const std::string msi = test_program("..\\KeltaMySQL-" KELTA_VERSION "-x64.msi");
    const std::string config = folder.program_data() + "\\shop.ini";
    const unsigned short port = free_tcp_port();
    const auto msiexec = [&](const std::vector<std::string>& arguments) {
        write_file(config, "[connection]\r\nport=" + std::to_string(port) + "\r\n");
        return run({arguments, {{"ProgramData", folder.program_data()}}, "msiexec.exe"}, 240s);
    };
    const auto tray_log = [&] { return e2e::read_file(folder.path("tray.log")); };
    const auto state = [](auto tool) { return e2e::read_file("C:\\kelta-bench\\state\\"s + tool); };
    const std::string shortcut = // Wine: in the user's Start menu; Windows: in the common one
        std::getenv("APPDATA") +
        "\\Microsoft\\Windows\\Start Menu\\Programs\\KELTA Retail MySQL Setup.lnk"s;

    // The install fails at the firewall after it registered the service. (Windows says 1603.)
    force_tool_exit("netsh", 1, "add");
    EXPECT_EQ(msiexec({"/i", msi, "/qn", "CONFIG=" + config}).exit_code, 1627u);
    EXPECT_NE(tray_log().find(" --install failed: netsh advfirewall: "), std::string::npos);
    EXPECT_EQ(service_status(), ServiceStatus::NotInstalled) << "the undo of the install";
    EXPECT_FALSE(exists(app_dir()));

    clear_tool_state();
    ASSERT_EQ(msiexec({"/i", msi, "/qn", "CONFIG=" + config}).exit_code, 0u) << tray_log();
    EXPECT_TRUE(exists(app_exe("MySQL\\bin\\mysql.exe")) && exists(shortcut) && !exists(config));
    const auto settings = read_settings_file(settings_path()).value_or(ConnectionSettings{});
    EXPECT_EQ(query_over_tcp(settings.user, settings.password, port, "SELECT 1;").exit_code, 0);
    EXPECT_EQ(lines_of(state("netsh.txt")).size() + lines_of(state("schtasks.txt")).size(), 3u);
    EXPECT_EQ(uninstall_entry("DisplayVersion"), KELTA_VERSION);

    // Removal closes the running tray and takes away everything but the data.
    Running tray({{}, {{"ProgramData", folder.program_data()}}});
    ASSERT_TRUE(eventually([] { return FindWindowW(L"KeltaMySqlTrayWnd", nullptr); }, 15s));
    ASSERT_EQ(msiexec({"/x", msi, "/qn"}).exit_code, 0u) << tray_log();
    EXPECT_TRUE(tray.wait(5s).has_value()) << "the tray still runs";
    EXPECT_EQ(service_status(), ServiceStatus::NotInstalled);
    EXPECT_EQ(state("netsh.txt") + state("schtasks.txt"), "");
    EXPECT_FALSE(exists(app_dir()) || exists(shortcut));
    EXPECT_EQ(uninstall_entry("DisplayVersion"), "none");
    EXPECT_TRUE(exists(settings_path()) && exists(join_path(data_dir(), "mysql")));
}

} // namespace
