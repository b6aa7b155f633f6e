// Why MySQL did not start, for every cause the bench's real MySQL 5.7 server can be made to hit:
// told where the failure goes (exit code, tray.log) and shown on the Overview until the server has
// run, however started, with a screenshot of each (setup-diagnosis-<cause>).
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
#include "svc/myini.h"

#include <gtest/gtest.h>

using namespace e2e;
using namespace std::chrono_literals;

namespace {

constexpr int first_note = 225;
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

    const std::string my_ini = e2e::read_file(my_ini_path());
    e2e::write_file(my_ini_path(), my_ini + "innodb_buffer_pool_sise=64M\r\n");
    expect_told("unknown_option",
                "my.ini has an option this MySQL does not know: innodb_buffer_pool_sise=64M.");
    EXPECT_TRUE(server.log().back().starts_with("the service stopped while starting (exit code "))
        << server.log().back();
    e2e::write_file(my_ini_path(), my_ini);

    bench_control("mysqld.data-access-denied");
    expect_told("file_access", "MySQL may not read its files in " + data_dir() + ".");
    clear_bench_control();

    bench_control("mysqld.fail-start");
    expect_told("other", "MySQL did not start: Aborting (bench control mysqld.fail-start)");
    clear_bench_control();

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
    for (const char* part : {"user.frm", "user.MYD", "user.MYI"})
        ASSERT_TRUE(
            move_file(join_path(mysql_files, part) + ".aside", join_path(mysql_files, part)));

    // Until the next successful start.
    ASSERT_EQ(server.mode({"--start"}).exit_code, 0u);
    EXPECT_FALSE(exists(start_failure_path()));
    EXPECT_TRUE(eventually([&] { return w.text(first_note).empty(); }));
    ASSERT_EQ(server.mode({"--stop"}).exit_code, 0u);

    std::string ibdata = e2e::read_file(join_path(data_dir(), "ibdata1"));
    ibdata.replace(corrupt_page_offset, 64, std::string(64, 'X'));
    e2e::write_file(join_path(data_dir(), "ibdata1"), ibdata);
    expect_told("innodb_corruption", "The database files are damaged." + advice);
}

} // namespace
