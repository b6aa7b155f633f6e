// The process entry as installers and the Task Scheduler meet it: exit codes, tray.log lines and
// message boxes of failed modes, and the elevated relaunch.
#include "harness.h"
#include "setup_window.h"

#include "base/text.h"

#include <gtest/gtest.h>

using namespace e2e;
using namespace std::chrono_literals;

namespace {

struct LoggedRun {
    unsigned long exit_code;
    std::vector<std::string> log_lines;
};

LoggedRun run_mode(const TestFolder& folder, std::vector<std::string> arguments,
                   std::map<std::string, std::string> environment = {},
                   const std::string& program = app_exe()) {
    environment["ProgramData"] = folder.program_data();
    auto finished = run({arguments, environment, program});
    return {finished.exit_code, lines_of(read_file(folder.path("tray.log")))};
}

// "<15-char timestamp> <rest>" → rest, or "" when the line does not start with a timestamp.
std::string after_timestamp(const std::string& line) {
    if (line.size() < 16 || !is_timestamp(line.substr(0, 15)) || line[15] != ' ') return "";
    return line.substr(16);
}

TEST(CommandLine, ApplyWithoutConfigLogsOneLine) {
    TestFolder folder;
    auto result = run_mode(folder, {"--apply", "--quiet"});
    EXPECT_EQ(result.exit_code, 1u);
    ASSERT_EQ(result.log_lines.size(), 1u);
    EXPECT_EQ(after_timestamp(result.log_lines[0]), "--apply failed: missing --config <file>");
    // The log is plain UTF-8 with LF line ends.
    EXPECT_EQ(read_file(folder.path("tray.log")).find('\r'), std::string::npos);
}

TEST(CommandLine, ConfigWithoutValueBeforeQuiet) {
    TestFolder folder;
    auto result = run_mode(folder, {"--apply", "--config", "--quiet"});
    EXPECT_EQ(result.exit_code, 1u);
    ASSERT_EQ(result.log_lines.size(), 1u);
    EXPECT_EQ(after_timestamp(result.log_lines[0]), "--apply failed: missing --config <file>");
}

TEST(CommandLine, BackupAndRestoreWithoutFile) {
    TestFolder folder;
    EXPECT_EQ(run_mode(folder, {"--backup", "--quiet"}).exit_code, 1u);
    auto result = run_mode(folder, {"--quiet", "--restore"});
    EXPECT_EQ(result.exit_code, 1u);
    ASSERT_EQ(result.log_lines.size(), 2u);
    EXPECT_EQ(after_timestamp(result.log_lines[0]), "--backup failed: missing file name");
    EXPECT_EQ(after_timestamp(result.log_lines[1]), "--restore failed: missing file name");
}

TEST(CommandLine, UnknownOptionsFail) {
    TestFolder folder;
    EXPECT_EQ(run_mode(folder, {"--x", "--quiet"}).exit_code, 1u);
    EXPECT_EQ(run_mode(folder, {"--", "--quiet"}).exit_code, 1u);
    auto log = lines_of(read_file(folder.path("tray.log")));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(after_timestamp(log[0]), "--x failed: unknown option --x");
    EXPECT_EQ(after_timestamp(log[1]), "-- failed: unknown option --");
}

TEST(CommandLine, FirstModeWins) {
    TestFolder folder;
    auto result = run_mode(folder, {"-v", "--zzz", "--stop", "--quiet"});
    EXPECT_EQ(result.exit_code, 1u);
    ASSERT_EQ(result.log_lines.size(), 1u);
    EXPECT_EQ(after_timestamp(result.log_lines[0]), "--zzz failed: unknown option --zzz");
}

TEST(CommandLine, FailureTextOfTwoLinesGivesTwoLogLines) {
    TestFolder folder;
    auto result = run_mode(folder, {"--two\nlines", "--quiet"});
    EXPECT_EQ(result.exit_code, 1u);
    // The mode text itself holds the line break, so the entry spreads over three lines and only
    // the first begins with a timestamp.
    ASSERT_EQ(result.log_lines.size(), 3u);
    EXPECT_EQ(after_timestamp(result.log_lines[0]), "--two");
    EXPECT_EQ(result.log_lines[1], "lines failed: unknown option --two");
    EXPECT_EQ(result.log_lines[2], "lines");
}

TEST(CommandLine, FailureShowsAnErrorBoxUnlessQuiet) {
    TestFolder folder;
    Running program({{"--backup"}, {{"ProgramData", folder.program_data()}}});
    auto box = take_message_box(program.process_id(), 20s);
    ASSERT_TRUE(box.has_value()) << "no message box appeared";
    EXPECT_EQ(box->caption, "KELTA Retail MySQL");
    EXPECT_EQ(box->text, "missing file name");
    EXPECT_TRUE(box->error_icon);
    EXPECT_EQ(program.wait(10s), 1u);
}

TEST(CommandLine, QuitWithoutTrayReturnsAtOnce) {
    TestFolder folder;
    auto finished = run({{"--quit"}, {{"ProgramData", folder.program_data()}}});
    EXPECT_EQ(finished.exit_code, 0u);
    EXPECT_LT(finished.elapsed, 2s);
    EXPECT_FALSE(exists(folder.path("tray.log")));
}

TEST(CommandLine, FirstLoggedFailureCreatesTheDataFolder) {
    TestFolder folder;
    ASSERT_FALSE(exists(folder.data_root()));
    run_mode(folder, {"--nothing", "--quiet"});
    EXPECT_TRUE(exists(folder.path("tray.log")));
}

// A process that is not elevated relaunches itself with the same arguments and passes the
// elevated child's exit code on; only the child logs.
TEST(Elevation, RelaunchPassesArgumentsAndExitCode) {
    TestFolder folder;
    const std::string mode = "--we \"ird\" a\\";
    auto result = run_mode(folder, {mode, "--quiet", "x y\\"}, {}, app_exe("KeltaMySQL-unelevated.exe"));
    EXPECT_EQ(result.exit_code, 1u);
    ASSERT_EQ(result.log_lines.size(), 1u);
    EXPECT_EQ(after_timestamp(result.log_lines[0]), mode + " failed: unknown option " + mode);
}

// File names on the command line are the operator's, relative to the folder the command ran in:
// they name the same files for the elevated child started in the system folder (--apply deletes
// its settings file, read or not: where it looked), and a drive it does not see is named.
TEST(Elevation, RelaunchedChildWorksInTheCallersFolder) {
    TestFolder folder;
    const std::string here = folder.program_data() + "\\shop";
    ASSERT_TRUE(CreateDirectoryW(widen(here).c_str(), nullptr));
    write_file(here + "\\new.ini", "port=80\r\n");
    auto finished =
        run({{"--apply", "--config", "new.ini", "--quiet"},
             {{"ProgramData", folder.program_data()}, {"KELTA_TEST_REFUSED_FOLDER", "1"}},
             app_exe("KeltaMySQL-unelevated.exe"),
             here});
    EXPECT_EQ(finished.exit_code, 1u);
    EXPECT_FALSE(exists(here + "\\new.ini")) << "the child looked for the file elsewhere";
    auto log = lines_of(read_file(folder.path("tray.log")));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(after_timestamp(log[0]), "--apply failed: Port must be 1024 - 65535");
    auto result = run_mode(folder, {"--backup", "Q:\\shop.sql", "--quiet"}, {},
                           app_exe("KeltaMySQL-unelevated.exe"));
    ASSERT_EQ(result.log_lines.size(), 2u);
    EXPECT_TRUE(after_timestamp(result.log_lines[1])
                    .starts_with("--backup failed: Q:\\shop.sql: the drive Q: is not there"))
        << result.log_lines[1];
}

// The child's exit code passes on unchanged: 0 from a stop of no service (relaunched without the
// caller's folder once the shell refused it), 7 from the Setup window's process ended from outside.
TEST(Elevation, RelaunchPassesTheChildsExitCodeOnUnchanged) {
    TestFolder folder;
    const std::map<std::string, std::string> environment{{"ProgramData", folder.program_data()},
                                                         {"KELTA_TEST_REFUSED_FOLDER", "1"}};
    const std::string unelevated = app_exe("KeltaMySQL-unelevated.exe");
    EXPECT_EQ(run({{"--stop", "--quiet"}, environment, unelevated}).exit_code, 0u);
    auto unreadable = environment; // and an exit code that cannot be read is no success
    unreadable["KELTA_TEST_UNREADABLE_EXIT"] = "1";
    EXPECT_EQ(run({{"--stop", "--quiet"}, unreadable, unelevated}).exit_code, 1u);

    Running caller({{"--setup"}, environment, unelevated});
    HWND setup = nullptr;
    ASSERT_TRUE(eventually(
        [&] { return (setup = FindWindowW(L"KeltaMySqlSetupWnd", nullptr)) != nullptr; }));
    DWORD child = 0;
    GetWindowThreadProcessId(setup, &child);
    ASSERT_NE(child, caller.process_id());
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, child);
    EXPECT_TRUE(TerminateProcess(process, 7));
    CloseHandle(process);
    EXPECT_EQ(caller.wait(10s), 7u);
}

// What KeltaMySQL.com starts ends with it, as on Ctrl+C or a closed console, which the windowed
// program never hears of.
TEST(Elevation, ConsoleCompanionTakesItsProgramAlongWhenItEnds) {
    TestFolder folder;
    auto setup_open = [] { return FindWindowW(L"KeltaMySqlSetupWnd", nullptr) != nullptr; };
    {
        Running companion(
            {{"--setup"}, {{"ProgramData", folder.program_data()}}, app_exe("KeltaMySQL.com")});
        ASSERT_TRUE(eventually(setup_open));
    }
    EXPECT_TRUE(eventually([&] { return !setup_open(); }));
    if (HWND left = FindWindowW(L"KeltaMySqlSetupWnd", nullptr)) PostMessageW(left, WM_CLOSE, 0, 0);
}

// Only a declined prompt has the fixed text; any other failure of the relaunch is the system's.
TEST(Elevation, AFailedRelaunchTellsTheSystemsReason) {
    TestFolder folder;
    Running program({{"--install"},
                     {{"ProgramData", folder.program_data()}, {"KELTA_TEST_MISSING_PROGRAM", "1"}},
                     app_exe("KeltaMySQL-unelevated.exe")});
    auto box = take_message_box(program.process_id(), 20s);
    ASSERT_TRUE(box.has_value()) << "no message box appeared";
    EXPECT_EQ(box->text, system_error_text(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(program.wait(10s), 1u);
}

TEST(Elevation, DeclinedPromptExitsOneAndLogsNothing) {
    TestFolder folder;
    auto result = run_mode(folder, {"--stop", "--quiet"}, {{"KELTA_TEST_DECLINE", "1"}},
                           app_exe("KeltaMySQL-unelevated.exe"));
    EXPECT_EQ(result.exit_code, 1u);
    EXPECT_TRUE(result.log_lines.empty());
}

TEST(Elevation, DeclinedPromptShowsTheReasonUnlessQuiet) {
    TestFolder folder;
    Running program({{"--install"},
                     {{"ProgramData", folder.program_data()}, {"KELTA_TEST_DECLINE", "1"}},
                     app_exe("KeltaMySQL-unelevated.exe")});
    auto box = take_message_box(program.process_id(), 20s);
    ASSERT_TRUE(box.has_value()) << "no message box appeared";
    EXPECT_EQ(box->text, "administrator permission was not granted");
    EXPECT_TRUE(box->error_icon);
    EXPECT_EQ(program.wait(10s), 1u);
    EXPECT_FALSE(exists(folder.path("tray.log")));
}

TEST(Elevation, ModesThatNeedNoAdministratorDoNotRelaunch) {
    TestFolder folder;
    // --quit runs at once even when the relaunch would be declined.
    auto result = run_mode(folder, {"--quit"}, {{"KELTA_TEST_DECLINE", "1"}},
                           app_exe("KeltaMySQL-unelevated.exe"));
    EXPECT_EQ(result.exit_code, 0u);
    // Its failure is not logged where no log is yet: an ordinary user would own the new folder.
    result = run_mode(folder, {"--lang", "zz", "--quiet"}, {}, app_exe("KeltaMySQL-unelevated.exe"));
    EXPECT_EQ(result.exit_code, 1u);
    EXPECT_FALSE(exists(folder.program_data() + "\\KELTA Retail"));
}

} // namespace
