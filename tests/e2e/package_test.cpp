// msiexec on the bench packages (the program with the bench's stand-ins), an older version and
// the current one, through a package's whole life: failed first installs, an install, a failed
// and a good upgrade, a repair, a removal.
#include "fake_service.h"
#include "server.h"
#include "setup_window.h"

#include "base/files.h"
#include "base/registry.h"
#include "base/text.h"
#include "config/settings.h"
#include "instance/paths.h"
#include "svc/service.h"
#include "svc/start_type.h"
#include "svc/status.h"

#include <msi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace e2e;
using namespace std::literals;

namespace {

// The version of each installed bench package, as Windows Installer registered the products.
std::vector<std::string> installed_versions() {
    std::vector<std::string> versions;
    wchar_t code[39] = {};
    for (DWORD i = 0; MsiEnumProductsW(i, code) == ERROR_SUCCESS; ++i) {
        wchar_t text[128] = {};
        DWORD size = 128;
        MsiGetProductInfoW(code, INSTALLPROPERTY_PRODUCTNAME, text, &size);
        if (std::wstring_view(text) != L"KELTA Retail MySQL (bench)") continue;
        size = 128;
        MsiGetProductInfoW(code, INSTALLPROPERTY_VERSIONSTRING, text, &size);
        versions.push_back(narrow(text));
    }
    return versions;
}

std::string service_image_path() {
    wchar_t path[1024] = {};
    DWORD size = sizeof path;
    RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\KeltaMySQL57",
                 L"ImagePath", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, path,
                 &size);
    return narrow(path);
}

bool machine_starts_tray() {
    return string_value_exists(HKEY_LOCAL_MACHINE,
                               "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                               "KELTA Retail MySQL");
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

TEST(Package, ThroughItsWholeLife) {
    TestFolder folder;
    SetEnvironmentVariableW(L"ProgramData", widen(folder.program_data()).c_str());
    BenchCopyAside bench_copy;
    const std::string older = test_program("..\\KeltaMySQL-0.9.0-x64-bench.msi");
    const std::string newer = test_program("..\\KeltaMySQL-" KELTA_VERSION "-x64-bench.msi");
    const std::string config = folder.program_data() + "\\shop.ini";
    const unsigned short port = free_tcp_port();
    const std::map<std::string, std::string> environment{{"ProgramData", folder.program_data()}};
    const auto write_config = [&] {
        write_file(config, "[connection]\r\nport=" + std::to_string(port) + "\r\n");
    };
    const auto msiexec = [&](std::vector<std::string> arguments) {
        write_config();
        arguments.push_back("/qn");
        return run({arguments, environment, "msiexec.exe"}, 240s).exit_code;
    };
    const auto tray_log = [&] { return e2e::read_file(folder.path("tray.log")); };
    const auto state = [](auto tool) { return e2e::read_file("C:\\kelta-bench\\state\\"s + tool); };
    const std::string shortcut = // Wine: in the user's Start menu; Windows: in the common one
        std::getenv("APPDATA") +
        "\\Microsoft\\Windows\\Start Menu\\Programs\\KELTA Retail MySQL Setup.lnk"s;

    // A first install that fails at the firewall after it registered the service takes away
    // what it made. (Windows says 1603.)
    force_tool_exit("netsh", 1, "add");
    EXPECT_EQ(msiexec({"/i", newer, "CONFIG=" + config}), 1627u);
    EXPECT_NE(tray_log().find(" --install failed: netsh advfirewall: "), std::string::npos);
    EXPECT_EQ(service_status(), ServiceStatus::NotInstalled) << "the undo of the install";
    EXPECT_FALSE(exists(app_dir()));

    // One over a service registered by hand from another folder gives it back to that copy. The
    // data folder was last upgraded with an older server: the package's mysql_upgrade fails, the
    // hand copy's runs.
    clear_tool_state();
    const std::string hand = bench_copy.aside + "\\KeltaMySQL.exe";
    write_config();
    ASSERT_EQ(run({{"--install", "--quiet", "--config", config}, environment, hand}).exit_code, 0u);
    ASSERT_TRUE(set_service_start_type(false));
    const std::string hand_image = service_image_path();
    e2e::write_file(join_path(data_dir(), "mysql_upgrade_info"), "5.7.28");
    bench_control("mysql_upgrade.fail");
    EXPECT_EQ(msiexec({"/i", newer, "CONFIG=" + config}), 1627u);
    EXPECT_NE(tray_log().find(" --install failed: mysql_upgrade failed: "), std::string::npos);
    EXPECT_EQ(service_image_path(), hand_image);
    EXPECT_EQ(query_start_type(), StartType::manual);
    EXPECT_EQ(service_status(), ServiceStatus::Running);
    EXPECT_EQ(tool_calls("mysql_upgrade").size(), 2u);
    EXPECT_EQ(e2e::read_file(join_path(data_dir(), "mysql_upgrade_info")), "5.7.29");
    ASSERT_EQ(run({{"--uninstall", "--quiet"}, environment, hand}).exit_code, 0u);

    // The older version without the firewall rule, the tray at logon, and started by hand.
    clear_tool_state();
    ASSERT_EQ(msiexec({"/i", older, "CONFIG=" + config, "FIREWALL=0", "TRAY=0"}), 0u) << tray_log();
    ASSERT_TRUE(set_service_start_type(false));
    EXPECT_EQ(installed_versions(), std::vector<std::string>{"0.9.0"});
    EXPECT_TRUE(exists(app_exe("MySQL\\bin\\mysql.exe")) && exists(shortcut) && !exists(config));
    const auto settings = read_settings_file(settings_path()).value_or(ConnectionSettings{});
    EXPECT_EQ(query_over_tcp(settings.user, settings.password, port, "SELECT 1;").exit_code, 0);
    EXPECT_EQ(state("netsh.txt"), "");
    EXPECT_FALSE(machine_starts_tray());

    // An upgrade that fails after it stopped the server leaves the older version, its service as
    // it was. (Wine's rollback takes the older version's files and registry values away, where
    // Windows puts them back: a repair of the older version brings them back and starts the
    // server again.)
    force_tool_exit("icacls", 1);
    EXPECT_EQ(msiexec({"/i", newer}), 1627u);
    EXPECT_EQ(installed_versions(), std::vector<std::string>{"0.9.0"});
    EXPECT_EQ(query_start_type(), StartType::manual);
    clear_tool_state();
    EXPECT_EQ(msiexec({"/i", older, "REINSTALL=ALL", "REINSTALLMODE=vomus", "TRAY=0"}), 0u)
        << tray_log();
    EXPECT_EQ(service_status(), ServiceStatus::Running);

    // The upgrade in place: the service is never gone, and keeps what the operator chose.
    clear_tool_state();
    std::atomic<bool> upgrading = true, service_gone = false;
    std::thread watch([&] {
        for (; upgrading; Sleep(100))
            if (auto query = query_service(); query && !query->installed) service_gone = true;
    });
    EXPECT_EQ(msiexec({"/i", newer, "TRAY=1"}), 0u) << tray_log();
    upgrading = false;
    watch.join();
    EXPECT_FALSE(service_gone);
    EXPECT_EQ(installed_versions(), std::vector<std::string>{KELTA_VERSION});
    EXPECT_EQ(service_status(), ServiceStatus::Running);
    EXPECT_EQ(query_start_type(), StartType::manual);
    EXPECT_EQ(state("netsh.txt"), "");
    EXPECT_EQ(lines_of(state("schtasks.txt")).size(), 2u);
    EXPECT_FALSE(machine_starts_tray());
    EXPECT_TRUE(tool_calls("mysql_upgrade").empty()) << "the same server version needs none";

    // The operator opens the port; a repair does not take FIREWALL from its command line.
    auto opened = settings;
    opened.firewall = true;
    e2e::write_file(config, render_settings(opened));
    ASSERT_EQ(run({{"--apply", "--config", config, "--quiet"}, environment, app_exe()}).exit_code,
              0u);
    ASSERT_EQ(lines_of(state("netsh.txt")).size(), 1u);
    EXPECT_EQ(msiexec({"/i", newer, "REINSTALL=ALL", "REINSTALLMODE=vomus", "FIREWALL=0"}), 0u)
        << tray_log();
    EXPECT_EQ(lines_of(state("netsh.txt")).size(), 1u);
    EXPECT_EQ(service_status(), ServiceStatus::Running);

    // Removal closes the running tray and takes away everything but the data.
    Running tray({{}, environment});
    ASSERT_TRUE(eventually([] { return FindWindowW(L"KeltaMySqlTrayWnd", nullptr); }, 15s));
    ASSERT_EQ(msiexec({"/x", newer}), 0u) << tray_log();
    EXPECT_TRUE(tray.wait(5s).has_value()) << "the tray still runs";
    EXPECT_EQ(service_status(), ServiceStatus::NotInstalled);
    EXPECT_EQ(state("netsh.txt") + state("schtasks.txt"), "");
    EXPECT_FALSE(exists(app_dir()) || exists(shortcut));
    EXPECT_TRUE(installed_versions().empty());
    EXPECT_TRUE(exists(settings_path()) && exists(join_path(data_dir(), "mysql")));
}

} // namespace
