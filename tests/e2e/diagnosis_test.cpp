// Why MySQL did not start, for every cause the bench's real MySQL 5.7 server can be made to hit:
// told where the failure goes (exit code, tray.log) and shown on the Overview until the server has
// run, however started, with a screenshot of each (setup-diagnosis-<cause>); and the support file
// that carries it, with everything else a helpdesk asks for, to the helpdesk.
#include "fake_service.h"
#include "harness.h"
#include "server.h"
#include "setup_window.h"
#include "user_registry.h"

#include "base/child.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/system_paths.h"
#include "base/text.h"
#include "instance/paths.h"
#include "svc/backup_settings.h"
#include "svc/backup_state.h"
#include "svc/myini.h"

#include <gtest/gtest.h>

#include <regex>

using namespace e2e;
using namespace std::chrono_literals;

namespace {

constexpr int first_note = 225;
constexpr int diagnosis_action = 248;
constexpr int status_line = 291;
constexpr int port_edit = 201;
constexpr int save_button = 212;
constexpr int undo_button = 213;
constexpr long long corrupt_page_offset = 16384 * 7 + 300; // the data dictionary header page

// A program of our own listening on the port, as another server would.
UniqueSocket listen_on(unsigned short port) {
    WSADATA data{};
    WSAStartup(MAKEWORD(2, 2), &data);
    UniqueSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in any{.sin_family = AF_INET, .sin_port = htons(port)};
    EXPECT_EQ(bind(s.get(), reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    EXPECT_EQ(listen(s.get(), 1), 0);
    return s;
}

// --status of the test's instance, as a monitor reads it.
std::string status_json() {
    auto ran = run_captured({.program = app_exe(), .arguments = {"--status"}}, {}, true);
    return ran ? ran->output : ran.error();
}

// A program of the test's own in place of one of the program folder, until the scope ends.
struct SwappedProgram {
    std::string path;
    SwappedProgram(std::string replaced, const std::string& by) : path(std::move(replaced)) {
        EXPECT_TRUE(move_file(path, path + ".aside") &&
                    CopyFileW(widen(by).c_str(), widen(path).c_str(), TRUE));
    }
    ~SwappedProgram() { delete_file(path), move_file(path + ".aside", path); }
};

// The folders the damaged data was kept in, data.damaged-<time>.
std::vector<std::string> damaged_folders() {
    std::vector<std::string> found;
    WIN32_FIND_DATAW entry{};
    UniqueFind search(FindFirstFileW(widen(data_dir() + ".damaged-*").c_str(), &entry));
    for (bool more = static_cast<bool>(search); more; more = FindNextFileW(search.get(), &entry))
        found.push_back(join_path(parent_path(data_dir()), narrow(entry.cFileName)));
    return found;
}

TEST(StartDiagnosis, EveryCauseTheBenchProducesIsToldAndShown) {
    SavedUserValue language(program_key, "Language"), backup(program_key, "LastBackup");
    set_user_string(program_key, "Language", "en");
    set_user_string(program_key, "LastBackup", "2026-03-01 18:45|D:\\Backups\\shop.sql");
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    ASSERT_EQ(server.mode({"--stop"}).exit_code, 0u);

    // A failure is told with its time until the server has run, even when started and stopped
    // again from outside the program (the Services console) before anybody looked.
    bench_control("mysqld.fail-start");
    EXPECT_EQ(server.mode({"--start"}).exit_code, 1u);
    clear_bench_control();
    EXPECT_EQ(status_json().find("\"diagnosis_time\":null"), std::string::npos);
    run({{"start", "KeltaMySQL57"}, {}, system_tool_path("sc")});
    EXPECT_TRUE(eventually([] { return status_json().contains("\"running\""); }, 60s));
    run({{"stop", "KeltaMySQL57"}, {}, system_tool_path("sc")});
    EXPECT_TRUE(eventually([] { return status_json().contains("\"stopped\""); }, 60s));
    EXPECT_NE(status_json().find("\"diagnosis_code\":null"), std::string::npos) << status_json();

    SetupWindow w(server.folder());
    ASSERT_TRUE(w.handle());
    EXPECT_EQ(w.text(first_note), "");
    const std::string port = std::to_string(server.port());
    const std::string mysql_files = join_path(data_dir(), "mysql");
    const std::string advice =
        " Restore the last backup (2026-03-01 18:45, D:\\Backups\\shop.sql).";

    // Fails --start with the message first in tray.log, then shows it on the Overview.
    auto expect_told = [&](const std::string& cause, const std::string& message) {
        SCOPED_TRACE(cause);
        const size_t logged = server.log().size();
        const Finished start = server.mode({"--start"});
        EXPECT_EQ(start.exit_code, 1u);
        EXPECT_LT(start.elapsed, 10s);
        const auto log = server.log();
        ASSERT_GT(log.size(), logged);
        EXPECT_EQ(log[logged], "--start failed: " + message);
        EXPECT_TRUE(eventually([&] { return w.text(first_note).ends_with(" failed: " + message); }))
            << w.text(first_note);
        Sleep(500); // the window's own painting after it grew
        w.screenshot("setup-diagnosis-" + cause);
    };

    {
        UniqueSocket holder = listen_on(server.port());
        const size_t runs = service_runs();
        expect_told("port_in_use", "Port " + port + " is already in use by another program.");
        EXPECT_EQ(service_runs(), runs) << "the server was started on a taken port";
        // Another port, free, filled in on the Connection page and not saved until Save.
        EXPECT_EQ(w.text(diagnosis_action), "Use another port...");
        w.click(diagnosis_action);
        ASSERT_TRUE(eventually([&] { return w.visible(port_edit); }));
        const auto offered = parse_u16(w.text(port_edit));
        ASSERT_TRUE(offered.has_value());
        EXPECT_GE(*offered, 3307);
        EXPECT_NE(*offered, server.port());
        EXPECT_TRUE(w.enabled(save_button));
        EXPECT_EQ(configured_port(), server.port());
        // For support staff the action changes nothing and names a free port.
        EXPECT_NE(status_json().find("\"fix\":\"other_port\""), std::string::npos);
        EXPECT_EQ(server.mode({"--fix", "--quiet"}).exit_code, 1u);
        EXPECT_TRUE(server.log().back().starts_with("Choose another port, such as 33"));
        w.click(undo_button);
        w.click_at(100, 40); // back to the Overview

        // Moving to a taken port fails before my.ini changes, so the server could keep running.
        const unsigned short taken = free_tcp_port();
        UniqueSocket other = listen_on(taken);
        const std::string config = server.folder().program_data() + "\\move.ini";
        e2e::write_file(config, "[connection]\r\nport=" + std::to_string(taken) + "\r\n");
        EXPECT_EQ(server.mode({"--apply", "--config", config}).exit_code, 1u);
        EXPECT_EQ(server.log().back(), "--apply failed: Port " + std::to_string(taken) +
                                           " is already in use by another program.");
        EXPECT_EQ(configured_port(), server.port());
    }

    {
        // A mysqld.exe of this installation left running outside the service holds the port and
        // is ended with one click. Wine names no listening process; KeltaMySQL-stray.exe does, as
        // Windows would.
        Running stray({.arguments = {"--defaults-file=" + my_ini_path(), "--console"},
                       .program = join_path(app_dir(), "MySQL\\bin\\mysqld.exe")});
        ASSERT_TRUE(eventually([&] { return tcp_listener(server.port()); }, 30s));
        EXPECT_EQ(run({{"--start", "--quiet"},
                       {{"ProgramData", server.folder().program_data()}},
                       join_path(app_dir(), "KeltaMySQL-stray.exe")})
                      .exit_code,
                  1u);
        ASSERT_TRUE(eventually([&] {
            return w.text(diagnosis_action) == "End the old MySQL process and start";
        })) << w.text(first_note);
        w.screenshot("setup-diagnosis-port_in_use-stray");
        w.click(diagnosis_action);
        EXPECT_TRUE(eventually([&] { return w.text(status_line) == "MySQL started"; }, 60s))
            << w.text(status_line);
        EXPECT_TRUE(stray.wait(10s).has_value());
        ASSERT_EQ(server.mode({"--stop"}).exit_code, 0u);
    }

    const std::string my_ini = e2e::read_file(my_ini_path());
    e2e::write_file(my_ini_path(), my_ini + "innodb_buffer_pool_sise=64M\r\n");
    expect_told("unknown_option",
                "my.ini has an option this MySQL does not know: innodb_buffer_pool_sise=64M.");
    EXPECT_TRUE(server.log().back().starts_with("the service stopped while starting (exit code "))
        << server.log().back();
    // Set aside with one click: a copy of the file as it was, that one line a comment, started.
    EXPECT_EQ(w.text(diagnosis_action), "Set this line aside and start");
    w.click(diagnosis_action);
    ASSERT_TRUE(
        eventually([&] { return w.text(status_line).starts_with("The line was set aside"); }, 60s))
        << w.text(status_line);
    const std::string done = w.text(status_line);
    const std::string before = done.substr(done.find("as it was: ") + 11);
    EXPECT_EQ(e2e::read_file(before), my_ini + "innodb_buffer_pool_sise=64M\r\n");
    EXPECT_TRUE(
        std::regex_match(e2e::read_file(my_ini_path()).substr(my_ini.size()),
                         std::regex("# set aside \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d, unknown "
                                    "to this MySQL: innodb_buffer_pool_sise=64M\r\n")));
    EXPECT_TRUE(e2e::read_file(my_ini_path()).starts_with(my_ini));
    // The same for support staff.
    ASSERT_EQ(server.mode({"--stop"}).exit_code, 0u);
    const std::string set_aside = e2e::read_file(my_ini_path());
    e2e::write_file(my_ini_path(), set_aside + "innodb_buffer_pool_sise=64M\r\n");
    EXPECT_EQ(server.mode({"--start"}).exit_code, 1u);
    EXPECT_NE(status_json().find("\"fix\":\"set_aside_option\""), std::string::npos);
    EXPECT_EQ(server.mode({"--fix", "--quiet"}).exit_code, 0u) << server.log().back();
    EXPECT_TRUE(e2e::read_file(my_ini_path()).starts_with(set_aside + "# set aside "));
    ASSERT_EQ(server.mode({"--stop"}).exit_code, 0u);
    e2e::write_file(my_ini_path(), my_ini);

    bench_control("mysqld.data-access-denied");
    expect_told("file_access", "MySQL may not read its files in " + data_dir() + ".");
    clear_bench_control();
    // (Wine keeps no owners or lists: that the rights are set shows in the owners seam only.)
    EXPECT_EQ(w.text(diagnosis_action), "Repair folder rights");
    w.click(diagnosis_action);
    EXPECT_TRUE(eventually(
        [&] { return w.text(status_line) == "Folder rights repaired and MySQL started"; }, 60s))
        << w.text(status_line);
    ASSERT_EQ(server.mode({"--stop"}).exit_code, 0u);

    bench_control("mysqld.fail-start");
    expect_told("other", "MySQL did not start: Aborting (bench control mysqld.fail-start)");
    clear_bench_control();
    EXPECT_EQ(server.mode({"--fix", "--quiet"}).exit_code, 1u);
    EXPECT_EQ(server.log().back(), "This cannot be fixed from here; nothing was changed.");

    // A full disk, as a failed start leaves it: the drive opened in Explorer to make room.
    e2e::write_file(start_failure_path(), "cause=disk_full\r\nfree=12 MB\r\ndrive=C:\r\n");
    ASSERT_TRUE(eventually([&] { return w.text(diagnosis_action) == "Open the drive"; }));
    Sleep(500);
    w.screenshot("setup-diagnosis-disk_full");
    w.click(diagnosis_action);
    auto explorer =
        wait_for_program_window([](const std::string& title) { return title.ends_with("(C:)"); });
    ASSERT_TRUE(explorer.has_value());
    close_program(*explorer);
    EXPECT_EQ(server.mode({"--fix", "--quiet"}).exit_code, 1u);
    EXPECT_EQ(server.log().back(), "Make room on C:, then start MySQL.");

    {
        // A mysqld.exe that Windows cannot start at all, at a start and at an install.
        SwappedProgram mysqld(join_path(app_dir(), "MySQL\\bin\\mysqld.exe"),
                              test_program("kelta_needs_absent_library.exe"));
        const std::string cannot = "MySQL cannot start on this computer: a program library "
                                   "(DLL) it needs is missing (0xC0000135).";
        expect_told("cannot_run", cannot);
        const std::string fresh = server.folder().program_data() + "\\fresh";
        EXPECT_EQ(run({{"--install", "--quiet"}, {{"ProgramData", fresh}}}).exit_code, 1u);
        EXPECT_TRUE(e2e::read_file(fresh + "\\KELTA Retail\\MySQL\\tray.log")
                        .contains("--install failed: " + cannot));
    }

    for (const char* part : {"user.frm", "user.MYD", "user.MYI"})
        ASSERT_TRUE(
            move_file(join_path(mysql_files, part), join_path(mysql_files, part) + ".aside"));
    expect_told("system_tables", "The database's system tables are missing or damaged." + advice);
    EXPECT_TRUE(w.visible(diagnosis_action));
    EXPECT_EQ(w.text(diagnosis_action), "Rebuild from backup...");
    // The operator's last backup is not there and no automatic one was made: nothing to rebuild
    // from, and nothing changes.
    EXPECT_EQ(server.mode({"--recover"}).exit_code, 1u);
    EXPECT_EQ(server.log().back(), "--recover failed: No complete backup was found to rebuild the "
                                   "database from; nothing was changed.");
    EXPECT_TRUE(damaged_folders().empty());
    EXPECT_TRUE(exists(join_path(data_dir(), "ibdata1")));
    for (const char* part : {"user.frm", "user.MYD", "user.MYI"})
        ASSERT_TRUE(
            move_file(join_path(mysql_files, part) + ".aside", join_path(mysql_files, part)));

    // Until the next successful start.
    ASSERT_EQ(server.mode({"--start"}).exit_code, 0u);
    EXPECT_FALSE(exists(start_failure_path()));
    EXPECT_TRUE(eventually([&] { return w.text(first_note).empty(); }));
    EXPECT_FALSE(w.visible(diagnosis_action));
    const ConnectionSettings stored = server.settings();
    ASSERT_EQ(mysql_as_root("CREATE TABLE sale (id INT PRIMARY KEY, item VARCHAR(20)); INSERT INTO "
                            "sale VALUES (1, 'tea'), (2, 'rice');",
                            stored.root_password, stored.database)
                  .exit_code,
              0);
    // A nightly dump newer than the operator's last backup is the one to restore: as listed,
    // "dump=<number>|<time>|<size>|<path>".
    ASSERT_EQ(server.mode({"--backup-auto"}).exit_code, 0u);
    const std::string listed = e2e::read_file(server.folder().path("backup-dumps.ini"));
    const std::size_t entry = listed.find("\r\ndump=");
    ASSERT_NE(entry, std::string::npos) << listed;
    const std::size_t time_at = listed.find('|', entry) + 1;
    const std::size_t path_at = listed.find('|', listed.find('|', time_at) + 1) + 1;
    const std::string nightly_time = listed.substr(time_at, 16);
    const std::string nightly_path = listed.substr(path_at, listed.find('\r', path_at) - path_at);
    const std::string nightly =
        " Restore the last backup (" + nightly_time + ", " + nightly_path + ").";
    ASSERT_EQ(server.mode({"--stop"}).exit_code, 0u);

    std::string ibdata = e2e::read_file(join_path(data_dir(), "ibdata1"));
    ibdata.replace(corrupt_page_offset, 64, std::string(64, 'X'));
    e2e::write_file(join_path(data_dir(), "ibdata1"), ibdata);
    expect_told("innodb_corruption", "The database files are damaged." + nightly);
    EXPECT_TRUE(w.visible(diagnosis_action));

    // Rebuilt from the nightly dump: the shop's rows are back, the registers log in with what
    // they have, and the damaged files are kept.
    auto expect_rebuilt = [&] {
        EXPECT_EQ(query_over_tcp(stored.user, stored.password, server.port(),
                                 "SELECT item FROM sale ORDER BY id", stored.database)
                      .output,
                  "tea\nrice\n");
        EXPECT_NE(status_json().find("\"accepting_connections\":true"), std::string::npos);
    };
    ASSERT_EQ(server.mode({"--recover"}).exit_code, 0u) << server.log().back();
    expect_rebuilt();
    const std::vector<std::string> kept = damaged_folders();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_NE(e2e::read_file(join_path(kept[0], "ibdata1")).find(std::string(64, 'X')),
              std::string::npos);

    // The same through the window, after its question.
    ASSERT_EQ(server.mode({"--stop"}).exit_code, 0u);
    std::string fresh = e2e::read_file(join_path(data_dir(), "ibdata1"));
    fresh.replace(corrupt_page_offset, 64, std::string(64, 'X'));
    e2e::write_file(join_path(data_dir(), "ibdata1"), fresh);
    EXPECT_EQ(server.mode({"--start"}).exit_code, 1u);
    ASSERT_TRUE(eventually([&] { return w.visible(diagnosis_action); }));
    w.click(diagnosis_action);
    auto question = wait_for_message_box(w.process_id());
    ASSERT_TRUE(question.has_value());
    EXPECT_TRUE(
        question->text.starts_with("Rebuild the database from the backup of " + nightly_time + "?"))
        << question->text;
    RECT box{};
    GetWindowRect(question->box, &box);
    save_screenshot("setup-rebuild-question", box);
    question->answer(IDYES);
    ASSERT_TRUE(eventually([&] { return !IsWindow(question->box); }));
    // The whole report in a box: the dump, the tables and where the damaged files are.
    auto report = wait_for_message_box(w.process_id(), 120s);
    ASSERT_TRUE(report.has_value());
    EXPECT_TRUE(report->text.contains(" (tables: 1) in ")) << report->text;
    report->answer(IDOK);
    EXPECT_TRUE(w.text(status_line).starts_with("The database was rebuilt from the backup"));
    expect_rebuilt();
    EXPECT_EQ(damaged_folders().size(), 2u);
    EXPECT_EQ(server.mode({"--fix", "--quiet"}).exit_code, 0u); // running: nothing to fix

    // A rebuild whose new database does not start: told at once, while the window that ran it
    // stays open, with the rebuild below, which finishes it into the same kept folder.
    ASSERT_EQ(server.mode({"--stop"}).exit_code, 0u);
    fresh = e2e::read_file(join_path(data_dir(), "ibdata1"));
    fresh.replace(corrupt_page_offset, 64, std::string(64, 'X'));
    e2e::write_file(join_path(data_dir(), "ibdata1"), fresh);
    EXPECT_EQ(server.mode({"--start"}).exit_code, 1u);
    ASSERT_TRUE(eventually([&] { return w.visible(diagnosis_action); }));
    bench_control("mysqld.fail-start", "once");
    w.click(diagnosis_action);
    for (int box = 0; box < 2; ++box) { // the question, then the failure
        question = wait_for_message_box(w.process_id(), 120s);
        ASSERT_TRUE(question.has_value());
        question->answer(box == 0 ? IDYES : IDOK);
        ASSERT_TRUE(eventually([&] { return !IsWindow(question->box); }));
    }
    EXPECT_EQ(damaged_folders().size(), 3u);
    const std::string journal = server.folder().path("rebuild-in-progress.ini");
    ASSERT_TRUE(eventually([&] {
        return w.text(first_note)
            .starts_with("The rebuild of the database from the backup of " + nightly_time +
                         " did not finish");
    }));
    Sleep(500);
    w.screenshot("setup-rebuild-interrupted");
    w.click(diagnosis_action);
    question = wait_for_message_box(w.process_id());
    ASSERT_TRUE(question.has_value());
    question->answer(IDYES);
    ASSERT_TRUE(eventually([&] { return !IsWindow(question->box); }));
    report = wait_for_message_box(w.process_id(), 120s);
    ASSERT_TRUE(report.has_value());
    report->answer(IDOK);
    EXPECT_FALSE(exists(journal));
    expect_rebuilt();
    EXPECT_EQ(damaged_folders().size(), 3u);
}

// After a failed start: every member a standard zip reader finds with its CRC, the diagnosis, and
// no stored password in any form, also where one was written into the logs and my.ini.
TEST(StartDiagnosis, SupportFileHoldsTheFactsAndNoPassword) {
    SavedUserValue language(program_key, "Language");
    set_user_string(program_key, "Language", "en");
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    ASSERT_TRUE(save_backup_settings(default_backup_settings()));
    ASSERT_EQ(server.mode({"--backup-auto"}).exit_code, 0u);
    const std::string dump = load_backup_run()->file;
    ASSERT_EQ(server.mode({"--stop"}).exit_code, 0u);
    bench_control("mysqld.fail-start");
    ASSERT_EQ(server.mode({"--start"}).exit_code, 1u);
    clear_bench_control();

    // A password with a quote and a backslash, as an older installation may keep it, the passwords
    // written where a client's or the server's messages could put them, and a client password of
    // my.ini that nothing else knows.
    ConnectionSettings settings = server.settings();
    settings.password = "it's\\a-Secret_9";
    ASSERT_TRUE(save_settings(settings));
    const std::string sql_escaped = "it\\'s\\\\a-Secret_9", quotes_doubled = "it''s\\a-Secret_9";
    const std::string client_password = "Client-Secret_7";
    auto append = [](const std::string& path, const std::string& line) {
        e2e::write_file(path, (exists(path) ? e2e::read_file(path) : "") + line + "\r\n");
    };
    append(activity_log_path(), "IDENTIFIED BY '" + sql_escaped + "'");
    append(error_log_path(), "[ERROR] root password " + settings.root_password);
    append(error_log_path() + ".1", "[ERROR] at '" + quotes_doubled + "'");
    append(my_ini_path(), "[client]\r\npassword=" + client_password);

    const std::string zip = server.folder().path("support.zip");
    ASSERT_EQ(server.mode({"--support-file", zip}).exit_code, 0u);
    const auto members = read_zip(zip);
    ASSERT_TRUE(members.has_value());
    for (const char* name :
         {"summary.txt", "status.json", "status.txt", "diagnosis.txt", "service.txt",
          "firewall.txt", "tasks.txt", "connections.txt", "backups.txt", "my.ini", "connection.ini",
          "backup.ini", "backup-state.ini", "error.log", "error.log.1", "tray.log"})
        ASSERT_TRUE(members->contains(name)) << name;
    for (const auto& [name, member] : *members) {
        EXPECT_EQ(member.flags & 0x800, 0x800u) << name; // UTF-8 names
        EXPECT_EQ(member.method, 8u) << name;            // deflate
        EXPECT_EQ(member.content.find("-- Dump completed"), std::string::npos) << name;
        for (const std::string& secret : {settings.password, sql_escaped, quotes_doubled,
                                          settings.root_password, client_password})
            EXPECT_EQ(member.content.find(secret), std::string::npos) << name << ": " << secret;
    }
    auto has = [&](const std::string& name, const std::string& text) {
        return members->at(name).content.find(text) != std::string::npos;
    };
    EXPECT_TRUE(
        has("diagnosis.txt", "MySQL did not start: Aborting (bench control mysqld.fail-start)"));
    EXPECT_TRUE(has("status.json", "\"diagnosis_code\":\"other\""));
    EXPECT_TRUE(has("connection.ini", "\r\npassword=********\r\nhost="));
    EXPECT_TRUE(has("my.ini", "[client]\r\npassword=********\r\n"));
    EXPECT_TRUE(has("backups.txt", dump.substr(dump.rfind('\\') + 1)));
    EXPECT_TRUE(has("service.txt", "--defaults-file=\"" + my_ini_path() + "\""));
    EXPECT_TRUE(std::regex_search(members->at("firewall.txt").content,
                                  std::regex("LocalPort: +" + std::to_string(server.port()))));
    const std::string& summary = members->at("summary.txt").content;
    EXPECT_TRUE(std::regex_search(summary, std::regex("data_folder_check: +passed\r\n")))
        << summary;
    for (const char* file : {"error.log", "error.log.1", "tray.log"})
        EXPECT_TRUE(std::regex_search(
            summary, std::regex(std::string("password_removed_from: +") + file + " \\(1x\\)")))
            << file << "\n"
            << summary;

    // The General page's button saves one where the operator chooses.
    SetupWindow w(server.folder(), {"general"});
    ASSERT_TRUE(w.handle());
    w.click(282);
    auto dialog = wait_for_file_dialog(w.process_id());
    ASSERT_TRUE(dialog.has_value());
    EXPECT_EQ(dialog->title, "Save support file");
    EXPECT_TRUE(std::regex_match(dialog->file_name(),
                                 std::regex("KELTA-MySQL-support-[^ ]+-\\d{8}_\\d{6}\\.zip")))
        << dialog->file_name();
    const std::string chosen = server.folder().path("from the page.zip");
    dialog->choose(chosen);
    EXPECT_TRUE(eventually([&] { return w.text(291) == "Support file saved: " + chosen; }, 120s))
        << w.text(291);
    const auto saved = read_zip(chosen);
    ASSERT_TRUE(saved.has_value());
    EXPECT_TRUE(saved->contains("summary.txt"));
}

} // namespace
