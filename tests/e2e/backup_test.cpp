// --backup, --backup-auto and --restore against the bench's server: complete dumps only, the
// nightly dumps kept, copied and pruned, safety dumps before a restore, text that survives byte
// for byte, and the operator's success boxes.
#include "server.h"
#include "user_registry.h"

#include "base/files.h"
#include "base/handles.h"
#include "base/registry.h"
#include "base/security.h"
#include "base/text.h"
#include "instance/paths.h"
#include "svc/backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace e2e;
using namespace std::chrono_literals;

namespace {

// Chinese text and an emoji in utf8mb4.
const std::string shop_text = "\xE6\x94\xB6\xE9\x93\xB6\xE6\x9C\xBA \xF0\x9F\x9B\x92";

class BackupRestore : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.installed());
        root = server.settings().root_password;
        auto made = mysql_as_root("CREATE TABLE item (id INT PRIMARY KEY, name VARCHAR(40)) "
                                  "CHARACTER SET utf8mb4; INSERT INTO item VALUES (1, '" + shop_text + "');",
                                  root, "kelta_retail");
        ASSERT_EQ(made.exit_code, 0) << made.error;
    }
    std::string items() { return mysql_as_root("SELECT id, name FROM item ORDER BY id;", root, "kelta_retail").output; }
    std::string backups() { return join_path(data_root(), "backups"); }

    InstalledServer server;
    std::string root;
};

TEST_F(BackupRestore, BackupReplacesTheTargetOnlyWithACompleteDump) {
    const std::string target = server.folder().program_data() + "\\shop.sql";
    e2e::write_file(target, "old backup");
    // A temporary file planted beforehand (watched through a second name) is not written into.
    e2e::write_file(target + ".tmp", "planted");
    ASSERT_TRUE(CreateHardLinkW(widen(target + ".planted").c_str(), widen(target + ".tmp").c_str(), nullptr));
    EXPECT_EQ(server.mode({"--backup", target}).exit_code, 0u);
    EXPECT_EQ(e2e::read_file(target + ".planted"), "planted");
    std::string dump = e2e::read_file(target);
    EXPECT_NE(dump.find(shop_text), std::string::npos);
    EXPECT_NE(dump.find("-- Dump completed"), std::string::npos);
    EXPECT_FALSE(exists(server.folder().program_data() + "\\shop.sql.tmp"));
    // The dump holds the whole shop: made with its own list, which lets no other user read it
    // (Wine shows Everyone in a list when others may read the file).
    EXPECT_EQ(read_security(target).value_or(FileSecurity{"", "WD"}).access.find("WD"),
              std::string::npos);
    auto call = client_calls("mysqldump").back();
    EXPECT_TRUE(call.password_set);
    // No option file changes what the tool does.
    EXPECT_EQ(
        call.arguments,
        (std::vector<std::string>{
            "--no-defaults", "--socket=KELTA_MYSQL57", "--protocol=PIPE", "--user=root",
            "--default-character-set=utf8mb4", "--single-transaction", "--routines", "--triggers",
            "--events", "--result-file=" + server.folder().program_data() + "\\shop.sql.tmp",
            "kelta_retail"}));

    // A dump that ends early with exit code 0 is no backup: the previous file stays.
    bench_control("mysqldump.truncate");
    EXPECT_EQ(server.mode({"--backup", target}).exit_code, 1u);
    EXPECT_EQ(e2e::read_file(target), dump);
    EXPECT_FALSE(exists(server.folder().program_data() + "\\shop.sql.tmp"));
    auto log = server.log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "--backup failed: mysqldump failed: the dump is incomplete (no \"-- Dump "
                      "completed\" line)");
}

// The names of the .sql files in the folder, sorted.
std::vector<std::string> sql_files(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code missing;
    for (const auto& entry : std::filesystem::directory_iterator(widen(folder), missing))
        if (entry.path().extension() == L".sql")
            names.push_back(narrow(entry.path().filename().wstring()));
    std::ranges::sort(names);
    return names;
}

// Ten nightly runs keep the two newest dumps and two copies; a manual backup of the same name
// pattern and a file of another name stay, and so does a fresh temporary file, while one a cut-off
// run left days ago goes. A dump that fails deletes nothing and is told; a disk without room for
// another dump as large as the last one stops it before it starts.
TEST_F(BackupRestore, AutomaticBackupKeepsWhatItMadeAndTellsAFailure) {
    const std::string daily = join_path(backups(), "daily");
    const std::string usb = server.folder().program_data() + "\\usb";
    e2e::write_file(server.folder().path("backup.ini"),
                    "[backup]\r\nkeep=2\r\ncopy_to=" + usb + "\r\n");
    ASSERT_EQ(server.mode({"--backup-auto"}).exit_code, 0u);
    // A second dump within the same second takes a free name.
    const std::string here = server.folder().program_data();
    const std::string stamp = "kelta_retail_20200101_000000";
    ASSERT_TRUE(backup_to_new_file(here, stamp).has_value());
    auto second = backup_to_new_file(here, stamp);
    ASSERT_TRUE(second.has_value()) << second.error();
    EXPECT_EQ(second->path, here + "\\" + stamp + "-2.sql");
    const std::string manual = "kelta_retail_20000101_000000.sql";
    e2e::write_file(daily + "\\" + manual, "-- Dump completed\n");
    e2e::write_file(daily + "\\kelta_retail_notes.sql", "mine");
    const std::string old_leftover = daily + "\\kelta_retail_20000101_000001.sql.tmp";
    const std::string new_leftover = daily + "\\kelta_retail_20000101_000002.sql.tmp";
    e2e::write_file(old_leftover, "cut off");
    e2e::write_file(new_leftover, "being written");
    {
        UniqueFile file(CreateFileW(widen(old_leftover).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        const FILETIME long_ago{.dwLowDateTime = 0, .dwHighDateTime = 0x01D00000};
        ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &long_ago));
    }
    for (int run = 1; run < 10; ++run)
        ASSERT_EQ(server.mode({"--backup-auto"}).exit_code, 0u) << run;
    std::vector<std::string> kept = sql_files(daily);
    ASSERT_EQ(kept.size(), 4u);
    EXPECT_EQ(kept.front(), manual);
    EXPECT_EQ(kept.back(), "kelta_retail_notes.sql");
    kept = {kept[1], kept[2]};
    for (const std::string& name : kept)
        EXPECT_NE(e2e::read_file(daily + "\\" + name).find("-- Dump completed"), std::string::npos);
    EXPECT_EQ(sql_files(usb), kept);
    EXPECT_FALSE(exists(old_leftover));
    EXPECT_TRUE(exists(new_leftover));
    // The newest dump, which the state file names, is among those kept.
    std::string state = e2e::read_file(server.folder().path("backup-state.ini"));
    const std::string ok = "\r\nresult=ok\r\nfile=" + daily + "\\";
    ASSERT_NE(state.find(ok), std::string::npos) << state;
    const std::size_t name_at = state.find(ok) + ok.size();
    const std::string newest = state.substr(name_at, state.find('\r', name_at) - name_at);
    EXPECT_NE(std::ranges::find(kept, newest), kept.end()) << newest;

    bench_control("mysqldump.fail-after", "200");
    EXPECT_EQ(server.mode({"--backup-auto"}).exit_code, 1u);
    EXPECT_EQ(sql_files(daily).size(), 4u);
    EXPECT_EQ(sql_files(usb), kept);
    state = e2e::read_file(server.folder().path("backup-state.ini"));
    EXPECT_NE(state.find("\r\nresult=failed\r\nfile=\r\nsize=0\r\nerror=mysqldump failed: "),
              std::string::npos)
        << state;
    EXPECT_NE(state.find("\r\nlast_good_file=" + daily + "\\" + newest + "\r\n"),
              std::string::npos);
    ASSERT_FALSE(server.log().empty());
    EXPECT_TRUE(server.log().back().starts_with("--backup-auto failed: mysqldump failed: "))
        << server.log().back();

    // The newest listed dump as large as a terabyte (a sparse file): twice that is nowhere free.
    const std::string huge = daily + "\\kelta_retail_29991231_235959.sql";
    {
        UniqueFile file(CreateFileW(widen(huge).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        const std::string end = "-- Dump completed\n";
        LARGE_INTEGER at{.QuadPart = (1LL << 40) - static_cast<LONGLONG>(end.size())};
        DWORD written = 0;
        ASSERT_TRUE(SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN));
        ASSERT_TRUE(
            WriteFile(file.get(), end.data(), static_cast<DWORD>(end.size()), &written, nullptr));
    }
    const std::string list = server.folder().path("backup-dumps.ini");
    e2e::write_file(list, e2e::read_file(list) + "dump=999|2999-12-31 23:59:59|" +
                              std::to_string(1LL << 40) + "|" + huge + "\r\n");
    EXPECT_EQ(server.mode({"--backup-auto"}).exit_code, 1u);
    EXPECT_TRUE(server.log().back().starts_with("--backup-auto failed: not enough disk space in " +
                                                daily + ": "))
        << server.log().back();
    EXPECT_EQ(sql_files(daily).size(), 5u);
    delete_file(huge);

    // A link is no folder for the copies: it may lead where others read or change them.
    const std::string link = "C:\\kelta-links\\tree-link";
    e2e::write_file(server.folder().path("backup.ini"), "[backup]\r\ncopy_to=" + link + "\r\n");
    EXPECT_EQ(server.mode({"--backup-auto"}).exit_code, 1u);
    EXPECT_EQ(server.log().back(), "--backup-auto failed: copy to " + link + " failed: " + link +
                                       " is a link to another place; choose the folder itself.");
}

// Dumps from before there was a list are taken onto it in the order of their names; from then on
// the order of making decides, whatever the names and times say: three listed dumps set in the
// future, a new run keeps the new one and the newest made before it, and deletes only the oldest
// listed one, never the manual backup beside them.
TEST_F(BackupRestore, AutomaticBackupGoesByTheOrderItMadeItsDumps) {
    const std::string daily = join_path(backups(), "daily");
    ASSERT_TRUE(create_directories(daily));
    for (const char* name :
         {"kelta_retail_20200101_000000.sql", "kelta_retail_20200102_000000.sql"})
        e2e::write_file(daily + "\\" + name, "-- Dump completed\n");
    e2e::write_file(server.folder().path("backup.ini"), "[backup]\r\nkeep=3\r\n");
    ASSERT_EQ(server.mode({"--backup-auto"}).exit_code, 0u);
    const std::vector<std::string> made = sql_files(daily);
    ASSERT_EQ(made.size(), 3u);
    const std::string list = server.folder().path("backup-dumps.ini");
    std::string listed = e2e::read_file(list);
    const std::vector<std::string> future = {"kelta_retail_20990303_000000.sql",
                                             "kelta_retail_20990302_000000.sql",
                                             "kelta_retail_20990301_000000.sql"};
    for (std::size_t i = 0; i < made.size(); ++i) {
        ASSERT_TRUE(MoveFileW(widen(daily + "\\" + made[i]).c_str(),
                              widen(daily + "\\" + future[i]).c_str()));
        listed.replace(listed.find(made[i]), made[i].size(), future[i]);
    }
    e2e::write_file(list, listed);
    const std::string manual = "kelta_retail_20000101_000000.sql";
    e2e::write_file(daily + "\\" + manual, "-- Dump completed\n");
    e2e::write_file(server.folder().path("backup.ini"), "[backup]\r\nkeep=2\r\n");
    ASSERT_EQ(server.mode({"--backup-auto"}).exit_code, 0u);
    const std::vector<std::string> kept = sql_files(daily);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0], manual);
    EXPECT_TRUE(kept[1].starts_with("kelta_retail_20") && !kept[1].starts_with("kelta_retail_2099"))
        << kept[1];
    EXPECT_EQ(kept[2], future[2]);
}

// backup.ini that cannot be read (here not UTF-8, with the backup switched off) or holds a value
// the backup cannot use fails the run with the reason and makes no dump; a dump whose file stops
// growing is ended and told.
TEST_F(BackupRestore, AutomaticBackupFailsOnUnreadableSettingsAndAStalledDump) {
    const std::string daily = join_path(backups(), "daily");
    const std::string ini = server.folder().path("backup.ini");
    e2e::write_file(ini, "[backup]\r\nenabled=0\r\ncopy_to=C:\\Sauvegard\xE9\r\n");
    EXPECT_EQ(server.mode({"--backup-auto"}).exit_code, 1u);
    EXPECT_FALSE(exists(daily));
    EXPECT_EQ(server.log().back(),
              "--backup-auto failed: " + ini + " cannot be read: the file is not valid UTF-8 text");
    EXPECT_NE(e2e::read_file(server.folder().path("backup-state.ini"))
                  .find("\r\nresult=failed\r\nfile=\r\nsize=0\r\nerror=" + ini + " cannot be read"),
              std::string::npos);
    e2e::write_file(ini, "[backup]\r\nkeep=seven\r\n");
    EXPECT_EQ(server.mode({"--backup-auto"}).exit_code, 1u);
    EXPECT_EQ(server.log().back(), "--backup-auto failed: " + ini + ": keep=seven cannot be used");
    EXPECT_FALSE(exists(daily));

    delete_file(ini);
    bench_control("mysqldump.stall-after", "300");
    const Finished stalled = run({{"--backup-auto", "--quiet"},
                                  {{"ProgramData", server.folder().program_data()}},
                                  app_exe("KeltaMySQL-shortlock.exe")});
    EXPECT_EQ(stalled.exit_code, 1u);
    EXPECT_LT(stalled.elapsed, 60s);
    EXPECT_EQ(server.log().back(), "--backup-auto failed: the dump stopped making progress");
    // Neither a dump nor its temporary file stays.
    EXPECT_TRUE(std::filesystem::is_empty(widen(daily)));
}

TEST_F(BackupRestore, FailedDumpLeavesTheOldFileAndNamesTheToolsError) {
    const std::string target = server.folder().program_data() + "\\shop.sql";
    e2e::write_file(target, "old backup");
    auto settings = server.settings();
    settings.root_password = "wrong-root-pass";
    ASSERT_TRUE(save_settings(settings).has_value());
    EXPECT_EQ(server.mode({"--backup", target}).exit_code, 1u);
    EXPECT_EQ(e2e::read_file(target), "old backup");
    EXPECT_FALSE(exists(server.folder().program_data() + "\\shop.sql.tmp"));
    auto log = server.log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "--backup failed: mysqldump failed: mysqldump: Got error: 1045: Access denied "
                      "for user 'root'@'localhost' (using password: YES) when trying to connect");
}

TEST_F(BackupRestore, StoppedServerFailsAtOnceAndCreatesNothing) {
    ASSERT_EQ(server.mode({"--stop"}).exit_code, 0u);
    const std::string target = server.folder().program_data() + "\\shop.sql";
    const std::string dump = server.folder().program_data() + "\\old.sql";
    e2e::write_file(dump, "SELECT 1;\n");
    EXPECT_EQ(server.mode({"--backup", target}).exit_code, 1u);
    EXPECT_EQ(server.mode({"--restore", dump}).exit_code, 1u);
    EXPECT_FALSE(exists(target));
    EXPECT_FALSE(exists(server.folder().program_data() + "\\shop.sql.tmp"));
    auto log = server.log();
    EXPECT_EQ(log, (std::vector<std::string>{"--backup failed: MySQL is not running",
                                             "--restore failed: MySQL is not running"}));
    // The restore created its folder but took no safety dump.
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(widen(join_path(backups(), "*.sql*")).c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

TEST_F(BackupRestore, RestoreRoundTripWithSafetyDump) {
    const std::string target = server.folder().program_data() + "\\shop.sql";
    ASSERT_EQ(server.mode({"--backup", target}).exit_code, 0u);
    ASSERT_EQ(mysql_as_root("UPDATE item SET name = 'changed'; INSERT INTO item VALUES (2, 'new');", root,
                            "kelta_retail")
                  .exit_code,
              0);

    EXPECT_EQ(server.mode({"--restore", target}).exit_code, 0u);
    EXPECT_EQ(items(), "1\t" + shop_text + "\n");
    // The dump reaches the server as data: the client reads none of its own commands from it, and
    // sends no local file when a server asks.
    EXPECT_EQ(
        client_calls("mysql").back().arguments,
        (std::vector<std::string>{"--no-defaults", "--socket=KELTA_MYSQL57", "--protocol=PIPE",
                                  "--user=root", "--default-character-set=utf8mb4",
                                  "--local-infile=0", "--binary-mode", "kelta_retail"}));

    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(widen(join_path(backups(), "before-restore_*.sql")).c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    const std::string name = narrow(found.cFileName);
    EXPECT_TRUE(is_timestamp(name.substr(15, 15))) << name;
    EXPECT_EQ(name.size(), std::string("before-restore_20260107_031502.sql").size());
    std::string safety = e2e::read_file(join_path(backups(), name));
    EXPECT_NE(safety.find("'changed'"), std::string::npos) << "the safety dump holds the data before the restore";
}

TEST_F(BackupRestore, DumpWithSyntaxErrorNamesTheSafetyDump) {
    const std::string broken = server.folder().program_data() + "\\broken.sql";
    e2e::write_file(broken, "INSERT INTO item VALUES (3, 'x');\nTHIS IS NOT SQL;\n");
    EXPECT_EQ(server.mode({"--restore", broken}).exit_code, 1u);
    auto log = lines_of(e2e::read_file(server.folder().path("tray.log")));
    ASSERT_EQ(log.size(), 3u);
    EXPECT_TRUE(log[0].substr(16).starts_with("--restore failed: restore failed: ERROR 1064 (42000) at line 2:"))
        << log[0];
    EXPECT_EQ(log[1], "The database was put back as it was before the restore, from:");
    EXPECT_TRUE(log[2].starts_with(backups() + "\\before-restore_")) << log[2];
    EXPECT_TRUE(log[2].ends_with(".sql")) << log[2];
    // The row the file's first line had inserted went with the rest of the half-done restore.
    EXPECT_EQ(items(), "1\t" + shop_text + "\n");
}

TEST_F(BackupRestore, MissingSourceFailsBeforeTheSafetyFolderExists) {
    const std::string missing = server.folder().program_data() + "\\missing.sql";
    EXPECT_EQ(server.mode({"--restore", missing}).exit_code, 1u);
    EXPECT_FALSE(exists(backups()));
    auto log = server.log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(log[0].starts_with("--restore failed: " + missing + ": ")) << log[0];
}

TEST_F(BackupRestore, SuccessBoxesSpeakTheOperatorsLanguage) {
    SavedUserValue language(e2e::program_key, "Language");
    set_user_string(e2e::program_key, "Language", "fr");
    const std::string target = server.folder().program_data() + "\\shop.sql";
    Running backup_run({{"--backup", target}, {{"ProgramData", server.folder().program_data()}}});
    auto box = take_message_box(backup_run.process_id(), 60s);
    ASSERT_TRUE(box.has_value());
    EXPECT_TRUE(box->text.ends_with("\n" + target)) << box->text;
    EXPECT_TRUE(box->text.starts_with("Sauvegarde")) << box->text;
    EXPECT_TRUE(box->information_icon);
    EXPECT_EQ(backup_run.wait(10s), 0u);

    set_user_string(e2e::program_key, "Language", "en");
    Running restore_run({{"--restore", target}, {{"ProgramData", server.folder().program_data()}}});
    box = take_message_box(restore_run.process_id(), 60s);
    ASSERT_TRUE(box.has_value());
    EXPECT_TRUE(box->text.starts_with("Restore done. Data before the restore was saved to:\n" + backups() +
                                      "\\before-restore_"))
        << box->text;
    EXPECT_EQ(restore_run.wait(10s), 0u);
}

} // namespace
