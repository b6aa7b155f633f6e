// What an ordinary user plants in the data folder is never used by the elevated program: the
// folders become the administrators', planted settings and configuration are set aside and named
// in tray.log, and no temporary file is reused. Owners come from the bench's record through
// KeltaMySQL-owners.exe (Wine reads every file back as its own user's).
#include "server.h"

#include "base/files.h"
#include "base/security.h"
#include "base/text.h"
#include "record.h"
#include "svc/paths.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

const std::string ordinary_user = "S-1-5-21-1111111111-2222222222-3333333333-1001";

// What a file or folder made under ProgramData inherits: Users may read it.
const std::string inherited_list =
    "D:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)";

void plant(const std::string& path, const std::string& content = "") {
    if (!content.empty()) e2e::write_file(path, content);
    bench_security::record(path, "O:" + ordinary_user + inherited_list);
}

Finished install(const TestFolder& folder, unsigned short port) {
    const std::string config = folder.program_data() + "\\install.ini";
    e2e::write_file(config, "port=" + std::to_string(port) + "\r\n");
    return run({{"--install", "--config", config, "--quiet"},
                {{"ProgramData", folder.program_data()}},
                app_exe("KeltaMySQL-owners.exe")},
               std::chrono::seconds(240));
}

std::vector<std::string> log_of(const TestFolder& folder) {
    std::vector<std::string> lines;
    for (const auto& line : lines_of(e2e::read_file(folder.path("tray.log"))))
        lines.push_back(is_timestamp(line.substr(0, 15)) ? line.substr(16) : line);
    return lines;
}

// "<path> set aside as <path>.untrusted-<time>: owned by <user>, ..." → the copy, when it is there.
std::string copy_named(const std::string& line, const std::string& path) {
    const std::string head = path + " set aside as ";
    const size_t colon = line.find(": owned by " + ordinary_user + ", not by an administrator");
    if (!line.starts_with(head + path + ".untrusted-") || colon == std::string::npos) return "";
    const std::string copy = line.substr(head.size(), colon - head.size());
    return exists(copy) ? copy : "";
}

TEST(PlantedFiles, NothingPlantedBeforeTheFirstInstallIsUsed) {
    clear_tool_state();
    remove_service("KeltaMySQL57");
    TestFolder folder;
    SetEnvironmentVariableW(L"ProgramData", widen(folder.program_data()).c_str());
    ASSERT_TRUE(create_directories(backups_dir()).has_value());
    plant(parent_path(data_root()));
    plant(data_root());
    plant(legacy_settings_path(), "Password: planted-password\r\nroot / chosen\r\n");
    plant(my_ini_path(), "[mysqld]\r\ninit-file=C:/planted.sql\r\n");
    plant(backups_dir());
    plant(backups_dir() + "\\before-restore_20260101_000000.sql", "-- planted");
    // The temporary name of the next my.ini, with a second name that keeps the attacker's file.
    plant(my_ini_path() + ".new", "[mysqld]\r\n");
    const std::string kept = folder.program_data() + "\\kept";
    ASSERT_TRUE(
        CreateHardLinkW(widen(kept).c_str(), widen(my_ini_path() + ".new").c_str(), nullptr));

    const unsigned short port = free_tcp_port();
    ASSERT_EQ(install(folder, port).exit_code, 0u) << e2e::read_file(activity_log_path());
    const auto log = log_of(folder);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(copy_named(log[0], legacy_settings_path()), "") << log[0];
    EXPECT_NE(copy_named(log[1], my_ini_path()), "") << log[1];
    const std::string my_ini = e2e::read_file(my_ini_path());
    EXPECT_EQ(my_ini.find("planted"), std::string::npos) << my_ini;
    EXPECT_EQ(bench_security::recorded(my_ini_path()), std::nullopt)
        << "my.ini is the planted file";
    EXPECT_EQ(e2e::read_file(kept), "[mysqld]\r\n");
    EXPECT_NE(my_ini.find("\r\nport=" + std::to_string(port) + "\r\n"), std::string::npos);
    auto settings = read_settings_file(settings_path());
    ASSERT_TRUE(settings.has_value());
    EXPECT_EQ(settings->root_password.size(), 24u);
    EXPECT_EQ(mysql_as_root("SELECT 1;", settings->root_password).exit_code, 0);
    EXPECT_NE(mysql_as_root("SELECT 1;", "chosen").exit_code, 0);

    // The folders are the administrators', with what was inside them.
    EXPECT_EQ(bench_security::recorded(parent_path(data_root())), readable_folder_descriptor);
    EXPECT_EQ(bench_security::recorded(data_root()), readable_folder_descriptor);
    EXPECT_EQ(bench_security::recorded(backups_dir()), private_folder_descriptor);
    EXPECT_EQ(bench_security::recorded(backups_dir() + "\\before-restore_20260101_000000.sql"),
              private_file_descriptor);
    remove_service("KeltaMySQL57");
}

// With a data directory there, a planted connection.ini leaves its server untouched: the real
// root password is unknown. The data directory, readable by Users as an older version left it,
// becomes private all the same. Once the administrators' file is back, a reinstall keeps
// everything.
TEST(PlantedFiles, SettingsPlantedOverAServerChangeNothing) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    const auto real = server.settings();
    ASSERT_EQ(query_over_tcp(real.user, real.password, server.port(),
                             "CREATE TABLE sale (id INT); INSERT INTO sale VALUES (7);",
                             real.database)
                  .exit_code,
              0);
    const std::string stored = e2e::read_file(settings_path());
    plant(settings_path(), "root_password=chosen\r\n");
    bench_security::record(data_dir(), "O:BA" + inherited_list);
    bench_security::record(data_dir() + "\\ibdata1", "O:BA" + inherited_list);

    EXPECT_EQ(run({{"--install", "--quiet"},
                   {{"ProgramData", server.folder().program_data()}},
                   app_exe("KeltaMySQL-owners.exe")})
                  .exit_code,
              1u);
    const auto log = server.log();
    ASSERT_EQ(log.size(), 2u);
    const std::string aside = copy_named(log[0], settings_path());
    EXPECT_NE(aside, "") << log[0];
    EXPECT_EQ(log[1], "--install failed: " + settings_path() +
                          " was not written by an administrator and was set aside as " + aside +
                          "; the root password of the existing data directory is unknown, so "
                          "nothing else was changed");
    EXPECT_EQ(
        mysql_as_root("SELECT id FROM " + real.database + ".sale;", real.root_password).output,
        "7\n");
    EXPECT_EQ(bench_security::recorded(data_dir()), private_folder_descriptor);
    EXPECT_EQ(bench_security::recorded(data_dir() + "\\ibdata1"), private_file_descriptor);

    e2e::write_file(settings_path(), stored);
    EXPECT_EQ(run({{"--install", "--quiet"},
                   {{"ProgramData", server.folder().program_data()}},
                   app_exe("KeltaMySQL-owners.exe")},
                  std::chrono::seconds(240))
                  .exit_code,
              0u);
    EXPECT_EQ(server.settings(), real);
    EXPECT_EQ(query_over_tcp(real.user, real.password, server.port(), "SELECT id FROM sale;",
                             real.database)
                  .output,
              "7\n");
}

// An administrator's old connection.txt that says "root / " and nothing more.
TEST(PlantedFiles, NewServerNeverGetsAnEmptyRootPassword) {
    remove_service("KeltaMySQL57");
    TestFolder folder;
    ASSERT_TRUE(create_directories(folder.data_root()).has_value());
    e2e::write_file(folder.path("connection.txt"), "root / \r\n");
    ASSERT_EQ(install(folder, free_tcp_port()).exit_code, 0u)
        << e2e::read_file(folder.path("tray.log"));
    auto settings = read_settings_file(folder.path("connection.ini"));
    ASSERT_TRUE(settings.has_value());
    EXPECT_EQ(settings->root_password.size(), 24u);
    EXPECT_EQ(mysql_as_root("SELECT 1;", settings->root_password).exit_code, 0);
    remove_service("KeltaMySQL57");
}

} // namespace
