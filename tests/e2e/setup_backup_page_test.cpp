// The Backup & restore page against the bench's MySQL 5.7 service: the standard Save and Open
// dialogs driven like an operator does, the dump and the restore they start, the last-backup
// line, the automatic backup's settings and its list of dumps, and the buttons that need a
// running server.
#include "access_list.h"
#include "harness.h"
#include "server.h"
#include "setup_window.h"
#include "user_registry.h"

#include "base/files.h"
#include "base/text.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace e2e;
using namespace std::chrono_literals;

namespace {

constexpr auto job_limit = 150s;
constexpr int last_backup_line = 252;
constexpr int backup_now = 253;
constexpr int restore_hint = 255;
constexpr int restore_from_backup = 256;
constexpr int open_safety_backups = 257;
constexpr int open_folder = 260;
constexpr int status_line = 291;
constexpr int overview_first_note = 225;
constexpr int automatic_box = 322;
constexpr int backup_time = 324;
constexpr int backups_kept = 326;
constexpr int automatic_result = 333;
constexpr int copy_to = 331;
constexpr int copy_to_browse = 332;
constexpr int automatic_save = 335;
constexpr int automatic_list = 336;
constexpr int restore_listed = 337;

class BackupPage : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server_.installed());
        set_user_string(program_key, "Language", "en");
        delete_user_value(program_key, "LastBackup");
        exports_ = server_.folder().program_data() + "\\exports";
        ASSERT_TRUE(create_directories(exports_));
    }

    std::string root_password() const { return server_.settings().root_password; }

    void sql(const std::string& statements) const {
        ASSERT_EQ(mysql_as_root(statements, root_password(), "kelta_retail").exit_code, 0)
            << statements;
    }
    std::string shelf() const {
        return mysql_as_root("SELECT name FROM shelf", root_password(), "kelta_retail").output;
    }

    // Waits until the dialog is gone, so that the next #32770 window found is what follows it.
    static void wait_until_closed(const OpenFileDialog& dialog) {
        EXPECT_TRUE(eventually([&] { return !IsWindowVisible(dialog.dialog); }));
    }

    SavedUserValue language_{program_key, "Language"};
    SavedUserValue last_backup_{program_key, "LastBackup"};
    InstalledServer server_;
    std::string exports_;
};

TEST_F(BackupPage, BackUpNowThroughTheSaveDialog) {
    SetupWindow w(server_.folder(), {"backup"});
    ASSERT_TRUE(w.handle());
    EXPECT_EQ(w.text(last_backup_line), "No backup yet");
    ASSERT_TRUE(
        eventually([&] { return w.enabled(backup_now) && w.enabled(restore_from_backup); }));

    // Cancelled: nothing starts.
    w.click(backup_now);
    auto dialog = wait_for_file_dialog(w.process_id());
    ASSERT_TRUE(dialog.has_value());
    dialog->cancel();
    wait_until_closed(*dialog);
    Sleep(500);
    EXPECT_TRUE(w.window_enabled());
    EXPECT_EQ(w.text(status_line), "");

    // The dialog proposes the database name and the time; the operator picks a folder.
    w.click(backup_now);
    dialog = wait_for_file_dialog(w.process_id());
    ASSERT_TRUE(dialog.has_value());
    EXPECT_EQ(dialog->title, "Back up database");
    const std::string proposed = dialog->file_name();
    const std::string prefix = "kelta_retail_";
    ASSERT_EQ(proposed.size(), prefix.size() + 15 + 4) << proposed;
    EXPECT_TRUE(proposed.starts_with(prefix)) << proposed;
    EXPECT_TRUE(is_timestamp(proposed.substr(prefix.size(), 15))) << proposed;
    EXPECT_TRUE(proposed.ends_with(".sql")) << proposed;
    w.screenshot("setup-backup-save-dialog");

    const std::string target = exports_ + "\\shop backup.sql";
    dialog->choose(target);
    ASSERT_TRUE(
        eventually([&] { return w.text(status_line) == "Backup done: " + target; }, job_limit))
        << w.text(status_line);
    EXPECT_TRUE(e2e::read_file(target).find("-- Dump completed") != std::string::npos);

    // "LastBackup" holds the time and the file; the page shows both.
    const auto stored = user_string(program_key, "LastBackup");
    ASSERT_TRUE(stored.has_value());
    const std::string time = stored->substr(0, stored->find('|'));
    EXPECT_EQ(*stored, time + "|" + target);
    ASSERT_EQ(time.size(), 16u) << time; // YYYY-MM-DD HH:MM
    EXPECT_EQ(time[4], '-');
    EXPECT_EQ(time[10], ' ');
    EXPECT_EQ(time[13], ':');
    EXPECT_TRUE(eventually([&] {
        return w.text(last_backup_line) == "Last backup: " + time + "  \u00B7  " + target;
    })) << w.text(last_backup_line);
    w.screenshot("setup-backup-done");
}

TEST_F(BackupPage, RestoreThroughTheOpenDialogAfterTheQuestion) {
    sql("CREATE TABLE shelf (id INT PRIMARY KEY, name VARCHAR(40)); "
        "INSERT INTO shelf VALUES (1, 'as dumped');");
    const std::string dump = exports_ + "\\before changes.sql";
    ASSERT_EQ(server_.mode({"--backup", dump}).exit_code, 0u);
    sql("UPDATE shelf SET name = 'changed since';");
    ASSERT_EQ(shelf(), "changed since\n");

    SetupWindow w(server_.folder(), {"backup"});
    ASSERT_TRUE(w.handle());
    ASSERT_TRUE(eventually([&] { return w.enabled(restore_from_backup); }));

    // No to the question: nothing starts.
    w.click(restore_from_backup);
    auto dialog = wait_for_file_dialog(w.process_id());
    ASSERT_TRUE(dialog.has_value());
    EXPECT_EQ(dialog->title, "Restore database");
    EXPECT_EQ(dialog->file_name(), "");
    dialog->choose(dump);
    wait_until_closed(*dialog);
    auto question = wait_for_message_box(w.process_id());
    ASSERT_TRUE(question.has_value());
    EXPECT_EQ(question->text, "Restoring replaces ALL current data in the database with the "
                              "backup.\nThe current data is saved automatically first.\n\n"
                              "Continue?");
    question->answer(IDNO);
    Sleep(500);
    EXPECT_TRUE(w.window_enabled());
    EXPECT_EQ(w.text(status_line), "");
    EXPECT_EQ(shelf(), "changed since\n");

    // Yes: the data of the dump comes back; the data before it is in a safety dump.
    w.click(restore_from_backup);
    dialog = wait_for_file_dialog(w.process_id());
    ASSERT_TRUE(dialog.has_value());
    dialog->choose(dump);
    wait_until_closed(*dialog);
    question = wait_for_message_box(w.process_id());
    ASSERT_TRUE(question.has_value());
    question->answer(IDYES);
    const std::string done = "Restore done. Data before the restore was saved to: ";
    ASSERT_TRUE(eventually([&] { return w.text(status_line).starts_with(done); }, job_limit))
        << w.text(status_line);
    const std::string safety = w.text(status_line).substr(done.size());
    EXPECT_TRUE(safety.starts_with(server_.folder().path("backups") + "\\before-restore_"))
        << safety;
    EXPECT_NE(e2e::read_file(safety).find("changed since"), std::string::npos);
    EXPECT_EQ(shelf(), "as dumped\n");
    w.screenshot("setup-backup-restored");
}

// The automatic backup's settings: a backup.ini that cannot be read is told and saved clean, the
// time comes from the time picker, a mapped drive letter is refused, the edits outlive a Save that
// failed, and a Save registers the task. A dump it made is listed and restored without a file
// dialog.
TEST_F(BackupPage, AutomaticBackupSettingsAndARestoreFromItsList) {
    sql("CREATE TABLE shelf (id INT PRIMARY KEY, name VARCHAR(40)); "
        "INSERT INTO shelf VALUES (1, 'as dumped');");
    ASSERT_EQ(server_.mode({"--backup-auto"}).exit_code, 0u);
    sql("UPDATE shelf SET name = 'changed since';");
    const std::string ini_path = server_.folder().path("backup.ini");
    e2e::write_file(ini_path, "[backup]\r\nenabled=0\r\ncopy_to=E:\\Sauvegard\xE9\r\n");
    SetupWindow w(server_.folder(), {"backup"});
    ASSERT_TRUE(w.handle());
    EXPECT_EQ(w.text(automatic_result),
              "backup.ini cannot be read: the file is not valid UTF-8 text");
    EXPECT_TRUE(w.checked(automatic_box));
    EXPECT_TRUE(w.enabled(automatic_save));

    // Hours up twice and minutes up once in the picker: 04:31.
    HWND picker = w.control(backup_time);
    PostMessageW(picker, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(8, 10));
    PostMessageW(picker, WM_LBUTTONUP, 0, MAKELPARAM(8, 10));
    for (WPARAM key : {VK_UP, VK_UP, VK_RIGHT, VK_UP})
        PostMessageW(picker, WM_KEYDOWN, key, 1);
    w.paste(backups_kept, "3");
    SavedUserValue mapping("Network\\N", "RemotePath");
    set_user_string("Network\\N", "RemotePath", "\\\\nas\\shop");
    w.paste(copy_to, "n:\\Backups");
    w.click(automatic_save);
    EXPECT_TRUE(eventually([&] {
        return w.text(status_line) ==
               "Use the full network path (\\\\server\\share) instead of drive N:";
    })) << w.text(status_line);
    w.screenshot("setup-backup-mapped-drive");
    // Browse... opens the standard folder picker with its question; cancelled, it changes nothing.
    w.click(copy_to_browse);
    HWND folders = nullptr;
    ASSERT_TRUE(
        eventually([&] { return (folders = visible_window_of(w.process_id(), L"#32770")); }));
    EXPECT_TRUE(FindWindowExW(folders, nullptr, L"Static", L"Copy the backups to this folder"));
    RECT area{};
    GetWindowRect(folders, &area);
    save_screenshot("setup-backup-folder-picker", area);
    PostMessageW(folders, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(eventually([&] { return !IsWindow(folders); }));
    EXPECT_EQ(w.text(copy_to), "n:\\Backups");

    // A Save that fails keeps what was entered.
    w.paste(copy_to, "");
    force_tool_exit("schtasks", 1, "create");
    w.click(automatic_save);
    auto failed = wait_for_message_box(w.process_id(), job_limit);
    ASSERT_TRUE(failed.has_value());
    EXPECT_EQ(failed->text, "Backup task: exit code Some(1)");
    failed->answer(IDOK);
    EXPECT_EQ(w.text(backups_kept), "3");
    EXPECT_TRUE(eventually([&] { return w.enabled(automatic_save); }));
    delete_file("C:\\kelta-bench\\force\\schtasks.create.exit");
    w.click(automatic_save);
    ASSERT_TRUE(eventually([&] { return w.text(status_line) == "Automatic backup settings saved"; },
                           job_limit))
        << w.text(status_line);
    EXPECT_EQ(e2e::read_file(ini_path).substr(e2e::read_file(ini_path).find("\r\nenabled=")),
              "\r\nenabled=1\r\ntime=04:31\r\nkeep=3\r\nfolder=" +
                  server_.folder().path("backups\\daily") + "\r\ncopy_to=\r\n");
    // The task runs at the new time from now on.
    const std::string tasks = e2e::read_file("C:\\kelta-bench\\state\\schtasks.txt");
    EXPECT_NE(tasks.find("T04:31:00\t"), std::string::npos) << tasks;
    EXPECT_TRUE(eventually([&] {
        return w.text(automatic_result).starts_with("Last automatic backup: ") &&
               w.text(automatic_result).ends_with(" (ok)");
    })) << w.text(automatic_result);
    // The Overview says the same under its status.
    EXPECT_EQ(w.text(overview_first_note), w.text(automatic_result));

    const auto listed = w.list_items(automatic_list);
    ASSERT_EQ(listed.size(), 1u);
    // "YYYY-MM-DD HH:MM  ·  N KB": the time of the dump and its size.
    ASSERT_GT(listed[0].size(), 22u) << listed[0];
    EXPECT_TRUE(listed[0][4] == '-' && listed[0][10] == ' ' && listed[0][13] == ':') << listed[0];
    EXPECT_EQ(listed[0].substr(16, 6), "  \u00B7  ") << listed[0];
    EXPECT_TRUE(listed[0].ends_with(" KB")) << listed[0];
    EXPECT_EQ(w.list_selection(automatic_list), 0);
    ASSERT_TRUE(eventually([&] { return w.enabled(restore_listed); }));
    w.click(restore_listed);
    auto question = wait_for_message_box(w.process_id());
    ASSERT_TRUE(question.has_value());
    question->answer(IDYES);
    const std::string done = "Restore done. Data before the restore was saved to: ";
    ASSERT_TRUE(eventually([&] { return w.text(status_line).starts_with(done); }, job_limit))
        << w.text(status_line);
    EXPECT_EQ(shelf(), "as dumped\n");
    w.screenshot("setup-backup-automatic-restored");
}

// A restore that was cut off (the program killed) left its journal: the Overview says so, and
// the Backup page puts the safety dump back with one click and the usual question.
TEST_F(BackupPage, AnInterruptedRestoreIsPutBackWithOneClick) {
    sql("CREATE TABLE shelf (id INT PRIMARY KEY, name VARCHAR(40)); "
        "INSERT INTO shelf VALUES (1, 'before the restore');");
    const std::string safety =
        server_.folder().path("backups") + "\\before-restore_20260301_184502.sql";
    ASSERT_TRUE(create_directories(server_.folder().path("backups")));
    ASSERT_EQ(server_.mode({"--backup", safety}).exit_code, 0u);
    sql("DELETE FROM shelf;");
    e2e::write_file(server_.folder().path("restore-in-progress.ini"),
                    "[restore]\r\nsafety_dump=" + safety + "\r\nstarted=2026-03-01 18:45:02\r\n");
    SetupWindow w(server_.folder(), {"backup"});
    ASSERT_TRUE(w.handle());
    EXPECT_TRUE(w.text(overview_first_note).starts_with("A restore was interrupted: put back"));
    EXPECT_EQ(w.text(restore_hint),
              "A restore was interrupted. Its safety dump: before-restore_20260301_184502.sql");
    ASSERT_TRUE(eventually([&] { return w.enabled(open_safety_backups); }));
    EXPECT_EQ(w.text(open_safety_backups), "Put back the data");
    w.screenshot("setup-backup-interrupted");
    w.click(open_safety_backups);
    auto question = wait_for_message_box(w.process_id());
    ASSERT_TRUE(question.has_value());
    question->answer(IDYES);
    const std::string done = "Restore done. Data before the restore was saved to: ";
    ASSERT_TRUE(eventually([&] { return w.text(status_line).starts_with(done); }, job_limit))
        << w.text(status_line);
    EXPECT_EQ(shelf(), "before the restore\n");
    EXPECT_TRUE(eventually([&] { return w.text(open_safety_backups) == "Open safety backups"; }));
}

// A dump needs a running server; a restore starts a stopped one first.
TEST_F(BackupPage, AStoppedServerIsNotDumpedButStartedForARestore) {
    sql("CREATE TABLE shelf (id INT PRIMARY KEY, name VARCHAR(40)); "
        "INSERT INTO shelf VALUES (1, 'as dumped');");
    const std::string dump = exports_ + "\\shelf.sql";
    ASSERT_EQ(server_.mode({"--backup", dump}).exit_code, 0u);
    ASSERT_EQ(server_.mode({"--stop"}).exit_code, 0u);
    const std::string safety_folder = server_.folder().path("backups");
    ASSERT_FALSE(exists(safety_folder));
    SetupWindow w(server_.folder(), {"backup"});
    ASSERT_TRUE(w.handle());
    EXPECT_FALSE(w.enabled(backup_now));
    EXPECT_TRUE(w.enabled(restore_from_backup));
    EXPECT_TRUE(w.enabled(open_safety_backups));
    EXPECT_TRUE(w.enabled(open_folder));
    w.screenshot("setup-backup-stopped");

    // The safety folder is made when it is missing, and Explorer shows it. It will hold whole
    // copies of the database: only the system and the administrators may enter, as when a
    // restore makes it.
    w.click(open_safety_backups);
    EXPECT_TRUE(eventually([&] { return is_directory(safety_folder); }));
    // (Wine lists the administrators as the user who runs it; a folder made the ordinary way
    // lets Everyone in.)
    const auto sids = support::granted_sids(safety_folder);
    ASSERT_TRUE(sids.has_value());
    EXPECT_NE(std::ranges::find(*sids, "S-1-5-18"), sids->end());
    EXPECT_FALSE(support::open_to_everyone(*sids));
    auto explorer =
        wait_for_program_window([](const std::string& title) { return title == "backups"; });
    ASSERT_TRUE(explorer.has_value());
    close_program(*explorer);

    w.click(restore_from_backup);
    auto dialog = wait_for_file_dialog(w.process_id());
    ASSERT_TRUE(dialog.has_value());
    dialog->choose(dump);
    wait_until_closed(*dialog);
    auto question = wait_for_message_box(w.process_id());
    ASSERT_TRUE(question.has_value());
    question->answer(IDYES);
    EXPECT_TRUE(
        eventually([&] { return w.text(status_line) == "Starting MySQL, then restoring..."; }));
    ASSERT_TRUE(
        eventually([&] { return w.text(status_line).starts_with("Restore done."); }, job_limit))
        << w.text(status_line);
    EXPECT_EQ(shelf(), "as dumped\n");
}

} // namespace
