// Faults around the settings: the server killed while apply or install changes the account, a
// failing icacls on the first save, settings that cannot work, and a flush that keeps failing
// during log rotation. connection.ini, my.ini, the numbered logs and the server's root password
// stay what they were or what the operation promised.
#include "fault.h"
#include "shop.h"

#include "base/files.h"
#include "base/text.h"
#include "config/settings.h"

#include <gtest/gtest.h>

using namespace e2e;
using namespace std::chrono_literals;

namespace faults {

namespace {

// An instance of the test's own that is not installed yet: a ProgramData folder and a settings
// file for a free port. The service goes again at the end.
class FreshInstance {
  public:
    FreshInstance() : port_(free_tcp_port()) {
        wchar_t saved[MAX_PATH] = {};
        GetEnvironmentVariableW(L"ProgramData", saved, MAX_PATH);
        saved_program_data_ = saved;
        SetEnvironmentVariableW(L"ProgramData", widen(folder_.program_data()).c_str());
        clear_bench_control();
        clear_tool_state();
        remove_service("KeltaMySQL57");
    }
    ~FreshInstance() {
        remove_service("KeltaMySQL57");
        clear_bench_control();
        clear_tool_state();
        SetEnvironmentVariableW(L"ProgramData", saved_program_data_.c_str());
    }
    const TestFolder& folder() const { return folder_; }
    unsigned short port() const { return port_; }

    // The first install reads a settings file; a repair reads connection.ini.
    Finished install(bool first) const {
        std::vector<std::string> arguments{"--install", "--quiet"};
        if (first) {
            const std::string config = folder_.program_data() + "\\install.ini";
            e2e::write_file(config, "[connection]\r\nport=" + std::to_string(port_) + "\r\n");
            arguments.insert(arguments.end(), {"--config", config});
        }
        return run({arguments, {{"ProgramData", folder_.program_data()}}}, 240s);
    }
    std::optional<ConnectionSettings> stored() const {
        auto read = read_settings_file(folder_.path("connection.ini"));
        if (!read) return std::nullopt;
        return *read;
    }

  private:
    TestFolder folder_;
    std::wstring saved_program_data_;
    unsigned short port_;
};

// The new server answers its stored root password, and the registers' account logs in.
void expect_server_reachable(Fault& fault, const FreshInstance& fresh) {
    auto stored = fresh.stored();
    fault.kept("connection.ini with the new server's root password", stored.has_value());
    if (!stored) return;
    fault.kept("root access to the new server",
               mysql_as_root("SELECT 1;", stored->root_password).exit_code == 0);
    fault.kept(
        "the registers' account",
        query_over_tcp(stored->user, stored->password, fresh.port(), "SELECT 1;").exit_code == 0);
}

std::string apply_file(const TestFolder& folder, ConnectionSettings settings) {
    const std::string config = folder.program_data() + "\\apply.ini";
    e2e::write_file(config, render_settings(settings));
    return config;
}

} // namespace

TEST(InstallFaults, AFirstInstallNeverLosesTheRootPasswordItGave) {
    {
        FreshInstance fresh;
        Fault fault("install: the server is killed while the account is set up");
        bench_control("mysql.kill-server-after", "1");
        auto finished = fresh.install(true);
        fault.outcome(outcome_of(finished, fresh.folder()));
        EXPECT_EQ(finished.exit_code, 1u);
        EXPECT_EQ(fresh.install(false).exit_code, 0u) << "a repair goes on from where it stopped";
        expect_server_reachable(fault, fresh);
    }
    {
        FreshInstance fresh;
        Fault fault("install: icacls fails on the first connection.ini");
        force_tool_exit("icacls", 5);
        auto finished = fresh.install(true);
        fault.outcome(outcome_of(finished, fresh.folder()));
        EXPECT_EQ(finished.exit_code, 1u);
        EXPECT_TRUE(last_said(fresh.folder()).ends_with("exit code Some(5)"))
            << last_said(fresh.folder());
        clear_tool_state();
        EXPECT_EQ(fresh.install(false).exit_code, 0u) << "a repair goes on from where it stopped";
        expect_server_reachable(fault, fresh);
    }
}

TEST(SettingsFaults, StoredSettingsAndLogsSurvive) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    const ConnectionSettings stored = server.settings();
    seed_shop(stored.root_password, "(1, 'bread'), (2, 'milk')");
    const std::string rows = shop_rows(stored.root_password);
    const std::string my_ini_path = server.folder().path("my.ini");
    e2e::write_file(my_ini_path,
                    e2e::read_file(my_ini_path) + "max_connections=50 # the shop's own\r\n");
    const std::string connection_ini = e2e::read_file(server.folder().path("connection.ini"));
    const std::string my_ini = e2e::read_file(my_ini_path);
    auto account_works = [&] {
        return query_over_tcp(stored.user, stored.password, server.port(), "SELECT 1;").exit_code ==
               0;
    };

    {
        Fault fault("apply: the server is killed while the account changes");
        ConnectionSettings changed = stored;
        changed.password = "New-Password-2";
        bench_control("mysql.kill-server-after", "1");
        auto finished = server.mode({"--apply", "--config", apply_file(server.folder(), changed)});
        fault.outcome(outcome_of(finished, server.folder()));
        EXPECT_EQ(finished.exit_code, 1u);
        fault.kept("connection.ini",
                   e2e::read_file(server.folder().path("connection.ini")) == connection_ini);
        fault.kept("my.ini", e2e::read_file(my_ini_path) == my_ini);
        EXPECT_EQ(server.mode({"--start"}).exit_code, 0u);
        fault.kept("the shop's rows", shop_rows(stored.root_password) == rows);
        fault.kept("the account connection.ini describes", account_works());
    }
    for (auto [field, value, said] :
         {std::tuple{&ConnectionSettings::host, "till-pc", "computer names cannot log in"},
          std::tuple{&ConnectionSettings::database, "mysql", "belong to the server"}}) {
        Fault fault(std::string("apply: a setting that cannot work (") + value + ")");
        ConnectionSettings changed = stored;
        changed.*field = value;
        auto finished = server.mode({"--apply", "--config", apply_file(server.folder(), changed)});
        fault.outcome(outcome_of(finished, server.folder()));
        EXPECT_EQ(finished.exit_code, 1u);
        EXPECT_NE(last_said(server.folder()).find(said), std::string::npos);
        fault.kept("connection.ini",
                   e2e::read_file(server.folder().path("connection.ini")) == connection_ini);
        fault.kept("the account connection.ini describes", account_works());
    }
    {
        Fault fault("rotation: the flush keeps failing, three runs");
        const std::string error_log = server.folder().path("error.log");
        const std::string logged = e2e::read_file(error_log);
        ASSERT_FALSE(logged.empty());
        for (int n = 1; n <= 5; ++n)
            e2e::write_file(error_log + "." + std::to_string(n), "copy " + std::to_string(n));
        ConnectionSettings wrong = stored;
        wrong.root_password = "not-the-root-password";
        ASSERT_TRUE(save_settings(wrong).has_value());
        Finished finished;
        for (int run = 0; run < 3; ++run) {
            finished = server.mode({"--rotate-logs", "--limit", "1"});
            EXPECT_EQ(finished.exit_code, 1u);
        }
        fault.outcome(outcome_of(finished, server.folder()));
        bool copies_kept = true;
        for (int n = 1; n <= 5; ++n)
            copies_kept = copies_kept && e2e::read_file(error_log + "." + std::to_string(n)) ==
                                             "copy " + std::to_string(n);
        fault.kept("error.log.1 to error.log.5", copies_kept);
        fault.kept("error.log", e2e::read_file(error_log).starts_with(logged));
        ASSERT_TRUE(save_settings(stored).has_value());
    }
}

} // namespace faults
