// Nothing an ordinary user plants in the data folder is used by the elevated program. Owners come
// from the bench's record through KeltaMySQL-owners.exe (Wine reads every file back as its own).
#include "server.h"
#include "setup_in_process.h"
#include "setup_window.h"

#include "app/setup_program.h"
#include "base/files.h"
#include "base/security.h"
#include "base/text.h"
#include "instance/paths.h"
#include "record.h"
#include "svc/auto_backup.h"

#include <tuple>

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
    // Not taken over (whoever made it may hold it open with the right to change its rights): set
    // aside with everything planted in it, for the administrators' eyes only, and made anew.
    const auto log = lines_of(e2e::read_file(activity_log_path()));
    ASSERT_EQ(log.size(), 1u);
    const std::string aside = copy_named(log[0], parent_path(data_root()));
    ASSERT_NE(aside, "") << log[0];
    EXPECT_EQ(bench_security::recorded(aside), private_folder_descriptor);
    EXPECT_TRUE(exists(aside + "\\MySQL\\backups\\before-restore_20260101_000000.sql"));
    for (const auto& folder_path : {parent_path(data_root()), data_root()})
        EXPECT_EQ(bench_security::recorded(folder_path), std::nullopt) << folder_path;
    EXPECT_EQ(e2e::read_file(my_ini_path()).find("planted"), std::string::npos);
    EXPECT_EQ(e2e::read_file(kept), "[mysqld]\r\n");
    const auto settings = read_settings_file(settings_path()).value_or(ConnectionSettings{});
    EXPECT_EQ(mysql_as_root("SELECT 1;", settings.root_password).exit_code, 0);
    EXPECT_NE(mysql_as_root("SELECT 1;", "chosen").exit_code, 0);
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

// On a server's data folder: what has a second name, what others may change, a lock file of an
// ordinary user's that they hold open and a dump of theirs are never used; the parent folder
// loses what another product let Users do in it; a database in a folder somebody else made is
// left where it is, and no server starts on it.
TEST(PlantedFiles, OnlyWhatAdministratorsMadeAndAloneMayChangeIsUsed) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    const std::string parent = parent_path(data_root());
    bench_security::record(parent, "O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;BU)");
    ASSERT_TRUE(CreateHardLinkW(widen(server.folder().program_data() + "\\my.ini").c_str(),
                                widen(my_ini_path()).c_str(), nullptr));
    e2e::write_file(backup_settings_path(), "[backup]\r\ncopy_to=C:\\planted\r\n");
    bench_security::record(backup_settings_path(), "O:BAD:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FW;;;BU)");
    ASSERT_TRUE(create_directories(automatic_backups_dir()).has_value());
    for (const auto& folder : {backups_dir(), automatic_backups_dir()})
        bench_security::record(folder, std::string(private_folder_descriptor));
    const std::string dump = automatic_backups_dir() + "\\kelta_retail_20991231_235959.sql";
    plant(dump, "DROP TABLE sale;\n-- Dump completed\n");
    plant(operation_lock_path(), "--restore 1\r\n");
    UniqueFile held(CreateFileW(widen(operation_lock_path()).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);

    ASSERT_EQ(owners_build(server.folder(), {"--install"}).exit_code, 0u)
        << e2e::read_file(activity_log_path());
    const auto log = server.log();
    ASSERT_EQ(log.size(), 4u) << testing::PrintToString(log);
    EXPECT_NE(copy_named("0123456789abcde " + log[0], operation_lock_path()), "") << log[0];
    for (const auto& [line, path, reason] :
         {std::tuple{log[1], my_ini_path(), "a file with more than one name"},
          std::tuple{log[2], backup_settings_path(), "others may change it or its rights"}}) {
        EXPECT_TRUE(line.starts_with(path + " set aside as " + path + ".untrusted-")) << line;
        EXPECT_TRUE(line.ends_with(reason)) << line;
    }
    EXPECT_EQ(bench_security::recorded(parent),
              "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)");
    // Without its settings the nightly backup leaves its task as it was and refuses to run, saying
    // why, until an administrator saves them again.
    EXPECT_TRUE(log[3].starts_with("--install: Backup task: " + backup_settings_path() +
                                   " cannot be read: it was set aside as "))
        << log[3];
    EXPECT_EQ(owners_build(server.folder(), {"--backup-auto"}).exit_code, 1u);
    e2e::write_file(backup_settings_path(), "[backup]\r\n");
    bench_security::record(backup_settings_path(), std::string(private_file_descriptor));
    ASSERT_EQ(owners_build(server.folder(), {"--backup-auto"}).exit_code, 0u);
    replace_security_calls(bench_security::recording_security_calls());
    const auto listed = automatic_dumps(automatic_backups_dir(), "kelta_retail");
    replace_security_calls(system_security_calls());
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_NE(listed[0].path, dump);
    EXPECT_TRUE(exists(dump));

    ASSERT_EQ(server.mode({"--stop"}).exit_code, 0u);
    const size_t runs = service_runs();
    bench_security::record(data_dir(), "O:" + ordinary_user + inherited);
    EXPECT_EQ(owners_build(server.folder(), {"--start"}).exit_code, 1u);
    EXPECT_EQ(server.log().back(), "--start failed: " + data_dir() + " (owned by " + ordinary_user +
                                       ", not by an administrator) holds the MySQL database, so "
                                       "it was neither used nor set aside; an administrator must "
                                       "check it and give it to the Administrators group");
    EXPECT_TRUE(exists(data_dir() + "\\mysql"));
    EXPECT_EQ(service_runs(), runs);
}

// An elevated mode started from a folder that Users may change (a copy of the program with MySQL
// programs of a user's beside it) refuses to run anything from it; a settings file an ordinary
// user made is neither used nor deleted.
TEST(PlantedFiles, NothingOthersMayChangeIsRunOrRead) {
    clear_tool_state();
    TestFolder folder;
    const std::string copy = folder.program_data() + "\\app";
    ASSERT_TRUE(create_directories(copy + "\\MySQL\\bin").has_value());
    ASSERT_TRUE(CopyFileW(widen(app_exe("KeltaMySQL-owners.exe")).c_str(),
                          widen(copy + "\\KeltaMySQL-owners.exe").c_str(), FALSE));
    bench_security::record(copy, "O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)");
    const std::map<std::string, std::string> environment{{"ProgramData", folder.program_data()}};
    EXPECT_EQ(
        run({{"--install", "--quiet"}, environment, copy + "\\KeltaMySQL-owners.exe"}).exit_code,
        1u);
    const std::string config = folder.program_data() + "\\apply.ini";
    plant(config, "port=4000\r\nroot_password=chosen\r\n");
    EXPECT_EQ(owners_build(folder, {"--apply", "--config", config}).exit_code, 1u);
    EXPECT_TRUE(exists(config));
    const auto log = lines_of(e2e::read_file(folder.path("tray.log")));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].substr(16), "--install failed: KELTA Retail MySQL must run from a folder that "
                                 "only administrators can change: " +
                                     copy);
    EXPECT_EQ(log[1].substr(16), "--apply failed: " + config + ": owned by " + ordinary_user +
                                     ", not by an administrator; a settings file must be one that "
                                     "only administrators can change");
}

// A cashier who makes the Setup window's mutex first keeps no administrator from opening Setup,
// and the window checks the data folder before it reads it.
TEST(PlantedFiles, ASetupMutexOfAnOrdinaryUserKeepsNobodyOut) {
    clear_tool_state();
    TestFolder folder;
    ASSERT_TRUE(create_directories(folder.data_root()).has_value());
    plant(folder.path("connection.txt"), "root / chosen\r\n");
    auto descriptor = parse_descriptor("O:" + ordinary_user + "D:(A;;GA;;;WD)");
    ASSERT_TRUE(descriptor);
    SECURITY_ATTRIBUTES security{sizeof security, descriptor->get(), FALSE};
    UniqueHandle planted(CreateMutexW(&security, FALSE, L"KELTA.MySqlSetup.SingleInstance"));
    ASSERT_TRUE(planted);
    Running setup(
        {{"--setup"}, {{"ProgramData", folder.program_data()}}, app_exe("KeltaMySQL-owners.exe")});
    EXPECT_TRUE(eventually(
        [&] { return visible_window_of(setup.process_id(), L"KeltaMySqlSetupWnd") != nullptr; },
        std::chrono::seconds(20)));
    EXPECT_NE(copy_named(e2e::read_file(folder.path("tray.log")), folder.path("connection.txt")),
              "");
}

// The Setup window reads the data folder with administrator rights: what is planted there never
// reaches a Save, and so never the next install (a root password chosen in connection.txt, a
// copy_to in backup.ini that SYSTEM would copy every dump to).
class PlantedBeforeSetup : public InProcessSetup {};

TEST_F(PlantedBeforeSetup, SaveTakesNoRootPasswordOrCopyToFromThem) {
    constexpr int password_edit = 204, generate = 210, save = 212, firewall_box = 214,
                  status_line = 291, backup_time = 324, automatic_save = 335;
    replace_security_calls(bench_security::recording_security_calls());
    ASSERT_TRUE(create_directories(data_root()).has_value());
    plant(legacy_settings_path(), "Password: planted-password\r\nroot / chosen\r\n");
    plant(backup_settings_path(), "[backup]\r\ncopy_to=C:\\planted\r\n");
    state_ = std::make_unique<SetupUiState>();
    state_->current_page = 1;
    window_ = open_setup_window(*state_);
    ASSERT_NE(window_, nullptr);
    EXPECT_NE(text(password_edit), "planted-password");
    paste(backup_time, "04:15");
    click(automatic_save);
    EXPECT_TRUE(settles_to([&] { return text(status_line) == "Automatic backup settings saved"; }))
        << text(status_line);
    // The rule's state arrives from a thread; with the box on, Save asks nothing.
    ASSERT_TRUE(settles_to([&] { return state_->firewall_open.has_value(); }));
    if (!checked(firewall_box)) click(firewall_box);
    click(generate);
    click(save);
    EXPECT_TRUE(settles_to([&] { return text(status_line).starts_with("Settings saved."); }))
        << text(status_line);
    close();
    replace_security_calls(system_security_calls());
    EXPECT_EQ(e2e::read_file(backup_settings_path()).find("planted"), std::string::npos);

    ASSERT_EQ(install(folder_).exit_code, 0u) << e2e::read_file(activity_log_path());
    const auto settings = read_settings_file(settings_path()).value_or(ConnectionSettings{});
    EXPECT_EQ(mysql_as_root("SELECT 1;", settings.root_password).exit_code, 0);
    EXPECT_NE(mysql_as_root("SELECT 1;", "chosen").exit_code, 0);
    remove_service("KeltaMySQL57");
}

} // namespace
