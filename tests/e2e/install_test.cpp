// --install from an empty program-data folder and again on a working machine: files, service
// registration, firewall rule, rotation task, and an application account that really logs in.
#include "server.h"

#include "base/files.h"
#include "base/handles.h"
#include "base/text.h"
#include "instance/paths.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace e2e;

namespace {

std::string quoted(const std::string& text) {
    std::string result(1, '"');
    result += text;
    result += '"';
    return result;
}

struct ServiceConfig {
    std::string binary_path;
    std::string display_name;
    DWORD start_type = 0;
    std::string description;
};

ServiceConfig service_config() {
    ServiceConfig config;
    UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueServiceHandle service(OpenServiceW(manager.get(), L"KeltaMySQL57", SERVICE_QUERY_CONFIG));
    if (!service) {
        ADD_FAILURE() << "service missing";
        return config;
    }
    std::vector<std::uint64_t> buffer(8192 / 8);
    DWORD needed = 0;
    auto* query = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (QueryServiceConfigW(service.get(), query, 8192, &needed)) {
        config.binary_path = narrow(query->lpBinaryPathName);
        config.display_name = narrow(query->lpDisplayName);
        config.start_type = query->dwStartType;
    }
    auto* description = reinterpret_cast<SERVICE_DESCRIPTIONW*>(buffer.data());
    if (QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION,
                             reinterpret_cast<BYTE*>(buffer.data()), 8192, &needed) &&
        description->lpDescription)
        config.description = narrow(description->lpDescription);
    return config;
}

void set_display_name_and_path(const std::string& display_name, const std::string& path) {
    UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueServiceHandle service(OpenServiceW(manager.get(), L"KeltaMySQL57", SERVICE_CHANGE_CONFIG));
    ASSERT_TRUE(ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                     SERVICE_NO_CHANGE, widen(path).c_str(), nullptr, nullptr,
                                     nullptr, nullptr, nullptr, widen(display_name).c_str()));
}

std::vector<std::string> firewall_rules() {
    std::vector<std::string> rules;
    for (const auto& line : lines_of(e2e::read_file("C:\\kelta-bench\\state\\netsh.txt")))
        rules.push_back(line);
    return rules;
}

TEST(Install, FreshInstallFromAnEmptyFolder) {
    clear_tool_state();
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    const auto settings = server.settings();
    EXPECT_EQ(settings.port, server.port());
    EXPECT_EQ(settings.password.size(), 16u);
    EXPECT_EQ(settings.root_password.size(), 24u);
    EXPECT_FALSE(exists(server.folder().program_data() + "\\install.ini")) << "the --config file stays";

    // connection.ini was restricted before it took its name.
    auto icacls = tool_calls("icacls");
    ASSERT_FALSE(icacls.empty());
    EXPECT_EQ(icacls.back(), (std::vector<std::string>{settings_path() + ".new", "/inheritance:r",
                                                       "/grant:r", "*S-1-5-18:F", "*S-1-5-32-544:F"}));
    EXPECT_NE(e2e::read_file(my_ini_path()).find("\r\nport=" + std::to_string(server.port()) + "\r\n"),
              std::string::npos);
    EXPECT_TRUE(is_directory(join_path(data_dir(), "mysql")));
    EXPECT_FALSE(exists(init_sql_path()));

    auto config = service_config();
    EXPECT_EQ(config.binary_path, quoted(app_dir() + "\\MySQL\\bin\\mysqld.exe") + " --defaults-file=" +
                                      quoted(my_ini_path()) + " KeltaMySQL57");
    EXPECT_EQ(config.display_name, "KELTA Retail MySQL 5.7");
    EXPECT_EQ(config.description, "KELTA Retail Pro shared database (MySQL 5.7)");
    EXPECT_EQ(config.start_type, static_cast<DWORD>(SERVICE_AUTO_START));

    EXPECT_EQ(firewall_rules(), (std::vector<std::string>{"KELTA Retail MySQL\tin\tallow\tTCP\t" +
                                                          std::to_string(server.port()) + "\tany"}));
    // Both tasks from their definitions: the command, the first start's time of day, SYSTEM with
    // the highest rights, started after a missed start, on battery too, not only when idle, ended
    // after their time limit, one at a time, readable by every user.
    auto tasks = lines_of(e2e::read_file("C:\\kelta-bench\\state\\schtasks.txt"));
    ASSERT_EQ(tasks.size(), 2u);
    auto task_of = [](const std::string& line) {
        std::vector<std::string> fields;
        std::istringstream in(line);
        for (std::string field; std::getline(in, field, '\t');)
            fields.push_back(field);
        if (fields.size() > 4) fields[4] = fields[4].substr(std::min<size_t>(fields[4].size(), 10));
        return fields;
    };
    auto expected = [&](const char* name, const char* arguments, const char* time,
                        const char* limit) {
        return std::vector<std::string>{name,
                                        "xml",
                                        quoted(app_exe()),
                                        arguments,
                                        time,
                                        "S-1-5-18",
                                        "HighestAvailable",
                                        "true",
                                        "false",
                                        "false",
                                        "false",
                                        limit,
                                        "IgnoreNew",
                                        "D:(A;;FA;;;BA)(A;;FA;;;SY)(A;;FR;;;AU)"};
    };
    EXPECT_EQ(task_of(tasks[0]), expected("KELTA Retail MySQL Log Rotation",
                                          "--rotate-logs --quiet", "T03:00:00", "PT30M"));
    EXPECT_EQ(task_of(tasks[1]),
              expected("KELTA Retail MySQL Backup", "--backup-auto --quiet", "T02:30:00", "PT4H"));

    auto login = query_over_tcp(settings.user, settings.password, server.port(), "SELECT DATABASE();",
                                settings.database);
    EXPECT_EQ(login.exit_code, 0) << login.error;
    EXPECT_EQ(login.output, "kelta_retail\n");
}

TEST(Install, ReinstallKeepsDataRootPasswordAndDisplayName) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    const auto before = server.settings();
    auto made = query_over_tcp(before.user, before.password, server.port(),
                               "CREATE TABLE sale (id INT); INSERT INTO sale VALUES (42);", before.database);
    ASSERT_EQ(made.exit_code, 0) << made.error;
    set_display_name_and_path("Renamed by the administrator", "C:\\old\\mysqld.exe");

    // A refused rotation or backup task does not undo a working server; the install tells why
    // each is missing. The operator's backup.ini stays as it was.
    const std::string backup_ini = "[backup]\r\ntime=04:15\r\n";
    e2e::write_file(server.folder().path("backup.ini"), backup_ini);
    force_tool_exit("schtasks", 1, "create");
    Running again({{"--install"}, {{"ProgramData", server.folder().program_data()}}});
    auto told = take_message_box(again.process_id(), std::chrono::seconds(150));
    ASSERT_TRUE(told.has_value());
    EXPECT_TRUE(told->information_icon);
    EXPECT_TRUE(told->text.starts_with("MySQL service installed\n")) << told->text;
    EXPECT_NE(told->text.find("\nLog rotation task: exit code Some(1)\n"), std::string::npos)
        << told->text;
    EXPECT_TRUE(told->text.ends_with("\nBackup task: exit code Some(1)")) << told->text;
    EXPECT_EQ(again.wait(std::chrono::seconds(10)), 0u);
    EXPECT_EQ(server.log(),
              (std::vector<std::string>{"--install: Log rotation task: exit code Some(1)",
                                        "--install: Backup task: exit code Some(1)"}));
    EXPECT_EQ(e2e::read_file(server.folder().path("backup.ini")), backup_ini);
    const auto after = server.settings();
    EXPECT_EQ(after.root_password, before.root_password);
    EXPECT_EQ(after.password, before.password);
    auto config = service_config();
    EXPECT_EQ(config.display_name, "Renamed by the administrator");
    EXPECT_TRUE(config.binary_path.starts_with(quoted(app_dir() + "\\MySQL\\bin\\mysqld.exe")))
        << config.binary_path;
    auto row = query_over_tcp(after.user, after.password, server.port(), "SELECT id FROM sale;",
                              after.database);
    EXPECT_EQ(row.output, "42\n") << row.error;
}

TEST(Install, FirewallOffRemovesTheRuleAndIsStored) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    ASSERT_EQ(firewall_rules().size(), 1u);
    EXPECT_EQ(server.mode({"--install", "--firewall", "off"}).exit_code, 0u);
    EXPECT_FALSE(server.settings().firewall);
    EXPECT_NE(e2e::read_file(settings_path()).find("\r\nfirewall=0\r\n"), std::string::npos);
    EXPECT_TRUE(firewall_rules().empty());
}

class InstallRefusal : public ::testing::Test {
  protected:
    void SetUp() override { remove_service("KeltaMySQL57"); }
    Finished install(std::vector<std::string> arguments, const std::string& program = app_exe()) {
        arguments.insert(arguments.begin(), "--install");
        arguments.push_back("--quiet");
        return run({arguments, {{"ProgramData", folder.program_data()}}, program});
    }
    std::vector<std::string> log() {
        std::vector<std::string> lines;
        for (const auto& line : lines_of(e2e::read_file(folder.path("tray.log"))))
            lines.push_back(line.substr(std::min<size_t>(16, line.size())));
        return lines;
    }
    TestFolder folder;
};

TEST_F(InstallRefusal, SettingsFileNamingRootFailsAfterItWasDeleted) {
    const std::string config = folder.program_data() + "\\root.ini";
    e2e::write_file(config, "user=ROOT\r\n");
    EXPECT_EQ(install({"--config", config}).exit_code, 1u);
    EXPECT_FALSE(exists(config));
    EXPECT_EQ(log(), (std::vector<std::string>{"--install failed: User cannot be root"}));
    EXPECT_FALSE(exists(folder.path("my.ini")));
}

TEST_F(InstallRefusal, UnreadableSettingsFileFailsAndStays) {
    const std::string config = folder.program_data() + "\\latin1.ini";
    e2e::write_file(config, "password=caf\xE9\r\n");
    EXPECT_EQ(install({"--config", config}).exit_code, 1u);
    EXPECT_TRUE(exists(config));
    EXPECT_EQ(log(), (std::vector<std::string>{"--install failed: " + config +
                                               ": the file is not valid UTF-8 text"}));
}

TEST_F(InstallRefusal, RootPasswordThatWouldBreakTheSqlIsRefused) {
    const std::string config = folder.program_data() + "\\quote.ini";
    e2e::write_file(config, "root_password=x'; DROP DATABASE mysql; --\r\n");
    EXPECT_EQ(install({"--config", config}).exit_code, 1u);
    EXPECT_EQ(log(), (std::vector<std::string>{
                         "--install failed: Root password: no quotes, backticks, backslashes or "
                         "control characters"}));
    EXPECT_FALSE(exists(folder.path("my.ini")));
    EXPECT_FALSE(exists(folder.path("connection.ini")));
}

TEST_F(InstallRefusal, MissingMysqldFailsBeforeAnythingIsCreated) {
    const std::string lonely = "C:\\kelta-test\\lonely";
    delete_tree(lonely);
    ASSERT_TRUE(create_directories(lonely).has_value());
    ASSERT_TRUE(CopyFileW(widen(app_exe()).c_str(), widen(lonely + "\\KeltaMySQL.exe").c_str(), FALSE));
    EXPECT_EQ(install({}, lonely + "\\KeltaMySQL.exe").exit_code, 1u);
    EXPECT_EQ(log(), (std::vector<std::string>{"--install failed: " + lonely +
                                               "\\MySQL\\bin\\mysqld.exe not found"}));
    // Only the log line itself was written.
    EXPECT_FALSE(exists(folder.path("my.ini")));
    EXPECT_FALSE(exists(folder.path("connection.ini")));
    EXPECT_FALSE(exists(folder.path("data")));
}

} // namespace
