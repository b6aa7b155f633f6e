// Nothing an ordinary user plants in the data folder is used by the elevated program. Owners come
// from the bench's record through KeltaMySQL-owners.exe (Wine reads every file back as its own).
#include "server.h"

#include "base/files.h"
#include "base/security.h"
#include "base/text.h"
#include "instance/paths.h"
#include "record.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

const std::string ordinary_user = "S-1-5-21-1111111111-2222222222-3333333333-1001";
// What a file or folder made under ProgramData inherits: Users may read it.
const std::string inherited = "D:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)";

void plant(const std::string& path, const std::string& content = "") {
    if (!content.empty()) e2e::write_file(path, content);
    bench_security::record(path, "O:" + ordinary_user + inherited);
}

Finished owners_build(const TestFolder& folder, std::vector<std::string> arguments) {
    arguments.push_back("--quiet");
    return run(
        {arguments, {{"ProgramData", folder.program_data()}}, app_exe("KeltaMySQL-owners.exe")},
        std::chrono::seconds(240));
}

Finished install(const TestFolder& folder) {
    const std::string config = folder.program_data() + "\\install.ini";
    e2e::write_file(config, "port=" + std::to_string(free_tcp_port()));
    return owners_build(folder, {"--install", "--config", config});
}

// "<time> <path> set aside as <copy>: owned by <user>, ..." → the copy, when it is there.
std::string copy_named(const std::string& line, const std::string& path) {
    const size_t from = 16 + path.size() + 14;
    const size_t to = line.find(": owned by " + ordinary_user + ", not by an administrator");
    if (line.substr(16, from - 16) != path + " set aside as " || to == std::string::npos) return "";
    const std::string copy = line.substr(from, to - from);
    return copy.starts_with(path + ".untrusted-") && exists(copy) ? copy : "";
}

TEST(PlantedFiles, NothingPlantedBeforeTheFirstInstallIsUsed) {
    clear_tool_state();
    remove_service("KeltaMySQL57");
    TestFolder folder;
    SetEnvironmentVariableW(L"ProgramData", widen(folder.program_data()).c_str());
    ASSERT_TRUE(create_directories(backups_dir()).has_value());
    for (const auto& folder_path : {parent_path(data_root()), data_root(), backups_dir()})
        plant(folder_path);
    plant(legacy_settings_path(), "Password: planted-password\r\nroot / chosen\r\n");
    plant(my_ini_path(), "[mysqld]\r\ninit-file=C:/planted.sql\r\n");
    plant(backups_dir() + "\\before-restore_20260101_000000.sql", "-- planted");
    // The temporary name of the next my.ini, with a second name that keeps the attacker's file.
    plant(my_ini_path() + ".new", "[mysqld]\r\n");
    const std::string kept = folder.program_data() + "\\kept";
    ASSERT_TRUE(
        CreateHardLinkW(widen(kept).c_str(), widen(my_ini_path() + ".new").c_str(), nullptr));

    ASSERT_EQ(install(folder).exit_code, 0u) << e2e::read_file(activity_log_path());
    const auto log = lines_of(e2e::read_file(activity_log_path()));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(copy_named(log[0], legacy_settings_path()), "") << log[0];
    EXPECT_NE(copy_named(log[1], my_ini_path()), "") << log[1];
    EXPECT_EQ(e2e::read_file(my_ini_path()).find("planted"), std::string::npos);
    EXPECT_EQ(bench_security::recorded(my_ini_path()), std::nullopt); // not the planted file
    EXPECT_EQ(e2e::read_file(kept), "[mysqld]\r\n");
    const auto settings = read_settings_file(settings_path()).value_or(ConnectionSettings{});
    EXPECT_EQ(mysql_as_root("SELECT 1;", settings.root_password).exit_code, 0);
    EXPECT_NE(mysql_as_root("SELECT 1;", "chosen").exit_code, 0);
    // The folders are the administrators', with what was inside them.
    for (const auto& folder_path : {parent_path(data_root()), data_root()})
        EXPECT_EQ(bench_security::recorded(folder_path), readable_folder_descriptor) << folder_path;
    EXPECT_EQ(bench_security::recorded(backups_dir()), private_folder_descriptor);
    EXPECT_EQ(bench_security::recorded(backups_dir() + "\\before-restore_20260101_000000.sql"),
              private_file_descriptor);
    remove_service("KeltaMySQL57");
}

// With a data directory there, a planted connection.ini leaves its server untouched: the real
// root password is unknown. The data directory, readable by Users as an older version left it,
// becomes private all the same.
TEST(PlantedFiles, SettingsPlantedOverAServerChangeNothing) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    const auto real = server.settings();
    auto made = mysql_as_root("CREATE TABLE sale (id INT); INSERT INTO sale VALUES (7);",
                              real.root_password, real.database);
    ASSERT_EQ(made.exit_code, 0) << made.error;
    plant(settings_path(), "root_password=chosen\r\n");
    bench_security::record(data_dir(), "O:BA" + inherited);
    bench_security::record(data_dir() + "\\ibdata1", "O:BA" + inherited);

    EXPECT_EQ(owners_build(server.folder(), {"--install"}).exit_code, 1u);
    const auto log = lines_of(e2e::read_file(activity_log_path()));
    ASSERT_EQ(log.size(), 2u);
    const std::string aside = copy_named(log[0], settings_path());
    EXPECT_NE(aside, "") << log[0];
    EXPECT_EQ(server.log()[1], "--install failed: " + settings_path() +
                                   " was not written by an administrator and was set aside as " +
                                   aside +
                                   "; the root password of the existing data directory is "
                                   "unknown, so nothing else was changed");
    EXPECT_EQ(mysql_as_root("SELECT id FROM sale;", real.root_password, real.database).output,
              "7\n");
    EXPECT_EQ(bench_security::recorded(data_dir()), private_folder_descriptor);
    EXPECT_EQ(bench_security::recorded(data_dir() + "\\ibdata1"), private_file_descriptor);
}

// An administrator's old connection.txt that says "root / " and nothing more.
TEST(PlantedFiles, NewServerNeverGetsAnEmptyRootPassword) {
    remove_service("KeltaMySQL57");
    TestFolder folder;
    ASSERT_TRUE(create_directories(folder.data_root()).has_value());
    e2e::write_file(folder.path("connection.txt"), "root / \r\n");
    ASSERT_EQ(install(folder).exit_code, 0u) << e2e::read_file(folder.path("tray.log"));
    const auto settings =
        read_settings_file(folder.path("connection.ini")).value_or(ConnectionSettings{});
    EXPECT_NE(settings.root_password, "");
    EXPECT_EQ(mysql_as_root("SELECT 1;", settings.root_password).exit_code, 0);
    EXPECT_NE(mysql_as_root("SELECT 1;", "").exit_code, 0) << "root logs in without a password";
    remove_service("KeltaMySQL57");
}

} // namespace
