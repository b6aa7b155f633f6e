// The Windows Installer package run by msiexec as a deployment tool runs it: install, repair and
// removal around the real program and the bench's server, and a failed install rolled back. The
// package holds the bench's stand-ins for the MySQL programs.
#include "fake_service.h"
#include "harness.h"
#include "setup_window.h"
#include "user_registry.h"

#include "base/files.h"
#include "base/handles.h"
#include "base/registry.h"
#include "base/text.h"
#include "config/settings.h"
#include "svc/paths.h"
#include "svc/status.h"

#include <msi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

using namespace e2e;
using namespace std::chrono_literals;

namespace {

const std::string product = "KELTA Retail MySQL";
const std::string uninstall_key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// Windows reports a failed custom action as 1603 (ERROR_INSTALL_FAILURE), Wine 8 as 1627.
constexpr unsigned long failed_action_exit = 1627;

std::string msi() {
    return test_program("KeltaMySQL-" KELTA_VERSION "-x64.msi");
}

// Wine puts the shortcuts of a per-machine package into the installing user's Start menu;
// Windows puts them into the common one (FOLDERID_CommonPrograms).
std::string setup_shortcut() {
    wchar_t* folder = nullptr;
    SHGetKnownFolderPath(FOLDERID_Programs, 0, nullptr, &folder);
    std::string path = narrow(folder ? folder : L"") + "\\KELTA Retail MySQL Setup.lnk";
    CoTaskMemFree(folder);
    return path;
}

// A shortcut's target and arguments, read the way the shell reads them.
std::string shortcut_command(const std::string& path) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* link = nullptr;
    if (FAILED(
            CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))))
        return "no shell link object";
    std::string command = "unreadable";
    IPersistFile* file = nullptr;
    wchar_t target[MAX_PATH] = {}, arguments[MAX_PATH] = {};
    if (SUCCEEDED(link->QueryInterface(IID_PPV_ARGS(&file))) &&
        SUCCEEDED(file->Load(widen(path).c_str(), STGM_READ)) &&
        SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0)) &&
        SUCCEEDED(link->GetArguments(arguments, MAX_PATH)))
        command = narrow(target) + " " + narrow(arguments);
    if (file) file->Release();
    link->Release();
    return command;
}

// The product codes of the Add/Remove Programs entries named after the product.
std::vector<std::string> uninstall_entries() {
    std::vector<std::string> codes;
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, widen(uninstall_key).c_str(), 0, KEY_READ, &key);
    UniqueKey owner(key);
    wchar_t name[256];
    for (DWORD i = 0, size = 256;
         key && RegEnumKeyExW(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) == 0;
         size = 256, ++i)
        if (read_string(HKEY_LOCAL_MACHINE, uninstall_key + "\\" + narrow(name), "DisplayName",
                        64) == product)
            codes.push_back(narrow(name));
    return codes;
}

std::string entry_value(const std::string& code, const std::string& name) {
    return read_string(HKEY_LOCAL_MACHINE, uninstall_key + "\\" + code, name, 256)
        .value_or("missing");
}

std::string product_icon(const std::string& code) {
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    MsiGetProductInfoW(widen(code).c_str(), INSTALLPROPERTY_PRODUCTICON, path, &size);
    return narrow(path);
}

// The package installs where the bench keeps its own copy of the program: that copy waits aside,
// and the program's data goes to a ProgramData folder of the test's own (also for this process).
class Package : public ::testing::Test {
  protected:
    void SetUp() override {
        SetEnvironmentVariableW(L"ProgramData", widen(folder_.program_data()).c_str());
        remove_service("KeltaMySQL57");
        clear_tool_state();
        clear_bench_control();
        ASSERT_TRUE(MoveFileExW(widen(app_dir()).c_str(), widen(bench_copy_).c_str(), 0))
            << last_error_text();
        write_file(config_, "[connection]\r\nport=" + std::to_string(port_) + "\r\n");
    }
    void TearDown() override {
        if (!uninstall_entries().empty()) msiexec({"/x", msi(), "/qn"});
        delete_tree(app_dir());
        EXPECT_TRUE(MoveFileExW(widen(bench_copy_).c_str(), widen(app_dir()).c_str(), 0))
            << last_error_text();
        remove_service("KeltaMySQL57");
        clear_bench_control();
    }
    unsigned long msiexec(const std::vector<std::string>& arguments) {
        Launch launch{arguments,
                      {{"ProgramData", folder_.program_data()}},
                      "C:\\windows\\system32\\msiexec.exe"};
        return run(launch, 240s).exit_code;
    }
    std::string tray_log() { return e2e::read_file(folder_.path("tray.log")); }
    std::string root_password() {
        return read_settings_file(settings_path()).value_or(ConnectionSettings{}).root_password;
    }

    TestFolder folder_;
    const std::string bench_copy_ = app_dir() + ".bench";
    const std::string config_ = folder_.program_data() + "\\shop.ini";
    const unsigned short port_ = free_tcp_port();
    SavedUserValue run_value_{run_key, product};
};

TEST_F(Package, InstallRepairAndRemoval) {
    // A first install from the chaining installer's settings file, without the tray at logon.
    ASSERT_EQ(msiexec({"/i", msi(), "/qn", "CONFIG=" + config_, "TRAY=0"}), 0u) << tray_log();
    for (const char* file : {"KeltaMySQL.exe", "MySQL\\bin\\mysqld.exe", "MySQL\\bin\\mysql.exe",
                             "MySQL\\bin\\mysqldump.exe"})
        EXPECT_TRUE(exists(app_exe(file))) << file;
    EXPECT_FALSE(exists(config_)) << "the settings file is read and deleted";
    EXPECT_EQ(service_status(), ServiceStatus::Running);
    const auto settings = read_settings_file(settings_path());
    ASSERT_TRUE(settings.has_value()) << settings.error();
    EXPECT_EQ(settings->port, port_);
    EXPECT_EQ(query_over_tcp(settings->user, settings->password, port_, "SELECT 1;").exit_code, 0);
    EXPECT_EQ(lines_of(e2e::read_file("C:\\kelta-bench\\state\\netsh.txt")).size(), 1u)
        << "firewall rule";
    EXPECT_EQ(lines_of(e2e::read_file("C:\\kelta-bench\\state\\schtasks.txt")).size(), 1u)
        << "rotation task";
    EXPECT_FALSE(user_string(run_key, product).has_value());
    EXPECT_EQ(shortcut_command(setup_shortcut()), app_exe() + " --setup");
    const auto entries = uninstall_entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entry_value(entries[0], "DisplayVersion"), KELTA_VERSION);
    EXPECT_EQ(entry_value(entries[0], "Publisher"), "Vantrelo");
    EXPECT_TRUE(product_icon(entries[0]).ends_with("\\KeltaMySQL.exe")) << product_icon(entries[0]);
    EXPECT_TRUE(exists(product_icon(entries[0])));

    // A repair runs the install again with what is given now: same root password, the port
    // closed, and the tray starts at logon.
    ASSERT_EQ(msiexec({"/i", msi(), "/qn", "REINSTALL=ALL", "REINSTALLMODE=vomus", "FIREWALL=0"}),
              0u)
        << tray_log();
    EXPECT_EQ(root_password(), settings->root_password);
    EXPECT_FALSE(read_settings_file(settings_path()).value_or(ConnectionSettings{}).firewall);
    EXPECT_TRUE(lines_of(e2e::read_file("C:\\kelta-bench\\state\\netsh.txt")).empty());
    EXPECT_EQ(service_status(), ServiceStatus::Running);
    EXPECT_EQ(user_string(run_key, product), "\"" + app_exe() + "\"");

    // Removal closes the running tray and takes away everything but the data.
    Running tray({{}, {{"ProgramData", folder_.program_data()}}});
    ASSERT_TRUE(
        eventually([] { return FindWindowW(L"KeltaMySqlTrayWnd", nullptr) != nullptr; }, 15s));
    const size_t netsh_calls = tool_calls("netsh").size();
    ASSERT_EQ(msiexec({"/x", msi(), "/qn"}), 0u) << tray_log();
    EXPECT_TRUE(tray.wait(5s).has_value()) << "the tray still runs";
    EXPECT_EQ(service_status(), ServiceStatus::NotInstalled);
    EXPECT_TRUE(bench_servers().empty());
    const auto netsh = tool_calls("netsh");
    ASSERT_EQ(netsh.size(), netsh_calls + 1);
    EXPECT_EQ(netsh.back().at(2), "delete") << "the firewall rule";
    EXPECT_TRUE(lines_of(e2e::read_file("C:\\kelta-bench\\state\\schtasks.txt")).empty());
    EXPECT_FALSE(exists(app_dir()));
    EXPECT_FALSE(exists(setup_shortcut()));
    EXPECT_TRUE(uninstall_entries().empty());
    EXPECT_FALSE(user_string(run_key, product).has_value());
    EXPECT_EQ(root_password(), settings->root_password);
    EXPECT_TRUE(is_directory(join_path(data_dir(), "mysql")));
}

TEST_F(Package, FailedInstallIsRolledBackAndLogged) {
    // The install fails at the firewall, after it registered the service.
    force_tool_exit("netsh", 1, "add");
    EXPECT_EQ(msiexec({"/i", msi(), "/qn", "CONFIG=" + config_}), failed_action_exit);
    EXPECT_FALSE(exists(app_dir()));
    EXPECT_FALSE(exists(setup_shortcut()));
    EXPECT_TRUE(uninstall_entries().empty());
    EXPECT_EQ(service_status(), ServiceStatus::NotInstalled);
    EXPECT_EQ(tool_calls("schtasks"),
              (std::vector<std::vector<std::string>>{
                  {"/Delete", "/TN", "KELTA Retail MySQL Log Rotation", "/F"}}))
        << "the undo of the install";
    const auto log = lines_of(tray_log());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find(" --install failed: netsh advfirewall: "), std::string::npos) << log[0];
}

} // namespace
