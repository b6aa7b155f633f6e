// The tray program as the operator meets it, driven and read from outside: one instance per
// user, --quit, the icon, tooltip and balloons as Wine's own notification area shows them, the
// right-click menu, the return after a taskbar restart, and screenshots of each state.
#include "fake_service.h"
#include "harness.h"
#include "popup_menu.h"
#include "setup_window.h"
#include "user_registry.h"
#include "wine_tray.h"

#include "app/tray_program.h"
#include "base/child.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/system_paths.h"
#include "base/text.h"
#include "config/settings.h"
#include "i18n/language.h"
#include "jobs/jobs.h"
#include "tray/menu.h"

#include <commctrl.h>
#include <tlhelp32.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>

using namespace e2e;
using namespace std::chrono_literals;

namespace {

const std::string welcome = "Running in the system tray. Double-click the icon to open Setup.";
constexpr UINT tray_callback = WM_APP + 1;

HWND tray_window() {
    return FindWindowW(L"KeltaMySqlTrayWnd", nullptr);
}

int tray_window_count() {
    int count = 0;
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            wchar_t name[32] = {};
            GetClassNameW(window, name, 32);
            if (std::wstring(name) == L"KeltaMySqlTrayWnd") ++*reinterpret_cast<int*>(param);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

RECT union_of(const RECT& a, const RECT& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

class Tray : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(tray_window(), nullptr) << "a tray program of an earlier test still runs";
        ASSERT_TRUE(wine_tray_icons().empty()) << "an earlier test left an icon behind";
        // The tray and this process (which draws menus to compare) speak English.
        ASSERT_TRUE(set_language("en"));
    }
    void TearDown() override {
        (void)quit_running_tray();
        eventually([] { return wine_tray_icons().empty(); }, 3s);
    }

    // Wine's tray window repaints the icon a moment after it takes the new tooltip: the picture
    // is given a little time to follow.
    void expect_dot(DotSeen wanted) {
        DotSeen seen = dot_of(icon_);
        eventually([&] { return (seen = dot_of(icon_)) == wanted; }, 2s);
        EXPECT_EQ(seen, wanted) << dot_name(seen);
    }

    // Called the moment the service has stopped: the tooltip and the red dot must follow within
    // a refresh or two; how long it took is printed.
    void expect_stop_shown(const std::string& stopped_tooltip) {
        const auto stopped_at = std::chrono::steady_clock::now();
        EXPECT_TRUE(tooltip_becomes(stopped_tooltip, 4s)) << tooltip();
        std::cout << "the tray showed the stop after "
                  << std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - stopped_at)
                         .count()
                  << " ms\n";
        expect_dot(DotSeen::red);
    }

    Launch tray_launch(const std::string& program = app_exe()) {
        return Launch{{}, {{"ProgramData", folder_.program_data()}}, program};
    }

    // Starts the tray and waits for its icon; the welcome balloon is checked and put away
    // when `welcome_expected`, so that it does not cover the icon.
    std::unique_ptr<Running> start_tray(const std::string& program = app_exe()) {
        auto tray = std::make_unique<Running>(tray_launch(program));
        HWND icon = nullptr;
        const bool shown = eventually(
            [&] {
                auto single = single_tray_icon();
                icon = single.value_or(nullptr);
                return icon && tooltip_of(icon).value_or("").starts_with("KELTA MySQL 5.7 - ");
            },
            15s);
        EXPECT_TRUE(shown) << "the tray icon did not show: " << wine_tray_icons().size()
                           << " icons, Wine's tray window "
                           << (IsWindowVisible(wine_tray_window()) ? "shown" : "hidden")
                           << ", tray window " << (tray_window() ? "present" : "missing")
                           << ", tooltip " << (icon ? tooltip_of(icon).value_or("none") : "-");
        icon_ = icon;
        return tray;
    }

    // The welcome balloon shows about 2 s after the first add; `picture`: keep a screenshot.
    void take_welcome_balloon(const std::string& picture = "") {
        std::optional<BalloonSeen> balloon;
        ASSERT_TRUE(eventually([&] { return (balloon = balloon_of(icon_)).has_value(); }, 6s))
            << "no welcome balloon";
        EXPECT_EQ(balloon->text, welcome);
        EXPECT_TRUE(balloon->information_symbol);
        EXPECT_FALSE(balloon->error_symbol);
        if (!picture.empty()) screenshot_with_balloon(picture);
        hide_balloons();
    }

    void screenshot_with_balloon(const std::string& name) {
        auto balloon = balloon_of(icon_);
        RECT area{};
        GetWindowRect(wine_tray_window(), &area);
        save_screenshot(name, balloon ? union_of(area, balloon->area) : area);
    }

    void hide_balloons() {
        // Only for the screenshots and pixel checks: the balloon's tail crosses the icon.
        EnumWindows(
            [](HWND window, LPARAM) -> BOOL {
                wchar_t name[32] = {};
                GetClassNameW(window, name, 32);
                if (std::wstring(name) == L"tooltips_class32" && IsWindowVisible(window) &&
                    (GetWindowLongW(window, GWL_STYLE) & TTS_BALLOON))
                    ShowWindow(window, SW_HIDE);
                return TRUE;
            },
            0);
        Sleep(200);
    }

    std::string tooltip() { return tooltip_of(icon_).value_or("<no tooltip>"); }

    bool tooltip_becomes(const std::string& text, std::chrono::milliseconds limit) {
        return eventually([&] { return tooltip() == text; }, limit);
    }

    void screenshot_tray(const std::string& name) {
        RECT area{};
        GetWindowRect(wine_tray_window(), &area);
        save_screenshot(name, area);
    }

    std::optional<MenuSeen> open_menu(DWORD process_id) {
        PostMessageW(tray_window(), tray_callback, tray_icon_id_, WM_RBUTTONUP);
        return wait_popup_menu(process_id, 5s);
    }

    // A program folder of its own whose mysqld.exe takes `seconds` and fails, so that an
    // install runs long enough to look at and then reports its failure; runs.log beside it
    // gets a line for each start.
    struct SlowInstall {
        std::string program;
        std::string runs;
    };
    SlowInstall slow_install_program(int seconds, const std::string& source = app_exe()) {
        const std::string app = join_path(folder_.program_data(), "app");
        const std::string bin = join_path(join_path(app, "MySQL"), "bin");
        e2e::write_file(join_path(bin, "delay.txt"), std::to_string(seconds));
        const std::string program = join_path(app, "KeltaMySQL.exe");
        EXPECT_TRUE(CopyFileW(widen(source).c_str(), widen(program).c_str(), FALSE));
        EXPECT_TRUE(CopyFileW(widen(test_program("kelta_slow_mysqld.exe")).c_str(),
                              widen(join_path(bin, "mysqld.exe")).c_str(), FALSE));
        return {program, join_path(bin, "runs.log")};
    }

    TestFolder folder_;
    SavedUserValue language_{program_key, "Language"};
    HWND icon_ = nullptr;
    const WPARAM tray_icon_id_ = 1;
};

TEST_F(Tray, SecondStartEndsAtOnceAndQuitClosesTheFirst) {
    auto first = start_tray();
    ASSERT_NE(icon_, nullptr);
    EXPECT_EQ(tray_window_count(), 1);

    Finished second = run(tray_launch(), 30s);
    EXPECT_EQ(second.exit_code, 0u);
    EXPECT_EQ(tray_window_count(), 1);
    EXPECT_EQ(wine_tray_icons().size(), 1u);
    EXPECT_EQ(first->wait(0ms), std::nullopt) << "the first tray must keep running";
    std::cout << "second start ended after " << second.elapsed.count() << " ms\n";

    Finished quit = run(Launch{{"--quit"}, {{"ProgramData", folder_.program_data()}}}, 30s);
    EXPECT_EQ(quit.exit_code, 0u);
    // --quit returns only after the window is gone; the process follows at once.
    EXPECT_EQ(tray_window(), nullptr);
    EXPECT_EQ(first->wait(2s), 0u);
    EXPECT_TRUE(eventually([] { return wine_tray_icons().empty(); }, 2s)) << "icon left behind";
    std::cout << "--quit took " << quit.elapsed.count() << " ms\n";
}

TEST_F(Tray, QuitWithNoTrayReturnsAtOnce) {
    Finished quit = run(Launch{{"--quit"}, {{"ProgramData", folder_.program_data()}}}, 30s);
    EXPECT_EQ(quit.exit_code, 0u);
    // With a tray it would poll for it and then wait 300 ms more; with none it returns at once
    // (the bound leaves room for a slow process start).
    EXPECT_LT(quit.elapsed, 2500ms);
    EXPECT_FALSE(exists(folder_.path("tray.log")));
}

// A tray process that does not end (this process holding the tray's mutex, with no window)
// makes --quit fail after a few seconds, with the reason.
TEST_F(Tray, QuitFailsWhileTheTrayProcessStaysAlive) {
    UniqueHandle lingering(CreateMutexW(nullptr, FALSE, L"KELTA.MySqlTray.SingleInstance"));
    Finished quit =
        run(Launch{{"--quit", "--quiet"}, {{"ProgramData", folder_.program_data()}}}, 60s);
    EXPECT_EQ(quit.exit_code, 1u);
    EXPECT_TRUE(e2e::read_file(folder_.path("tray.log"))
                    .ends_with(" --quit failed: the tray program is still running after 5 s\n"));
}

TEST_F(Tray, MissingServiceShowsTheGreyDotAndTheWelcomeOnce) {
    auto tray = start_tray();
    ASSERT_NE(icon_, nullptr);
    EXPECT_EQ(tooltip(), "KELTA MySQL 5.7 - service not installed (port 3307)");
    take_welcome_balloon("tray-welcome");
    EXPECT_EQ(dot_of(icon_), DotSeen::grey);
    screenshot_tray("tray-not-installed");
}

// The picture of the menu that the tray builds for these entries, opened in this process.
std::vector<DWORD> expected_menu_picture(ServiceStatus status, bool installing) {
    UniqueMenu menu = build_tray_menu(tray_menu_items(status, installing));
    auto picture = picture_of_menu(menu.get());
    return picture ? picture->pixels : std::vector<DWORD>{};
}

TEST_F(Tray, MenuOfAMissingServiceAndItsExit) {
    auto tray = start_tray();
    ASSERT_NE(icon_, nullptr);
    take_welcome_balloon();

    auto menu = open_menu(tray->process_id());
    ASSERT_TRUE(menu) << "no menu opened";
    save_screenshot("tray-menu-not-installed", menu->area);
    // Wine keeps a menu inside its process: the tray's menu is compared with the picture of the
    // menu built here for the expected entries (read entry by entry in TrayTexts).
    const auto expected = expected_menu_picture(ServiceStatus::NotInstalled, false);
    EXPECT_FALSE(expected.empty());
    EXPECT_TRUE(menu->pixels == expected) << "the menu differs from the one of a missing service";
    EXPECT_FALSE(menu->pixels == expected_menu_picture(ServiceStatus::NotInstalled, true));
    EXPECT_FALSE(menu->pixels == expected_menu_picture(ServiceStatus::Stopped, false));

    // Escape closes the menu and changes nothing.
    close_popup_menu(menu->window);
    EXPECT_TRUE(eventually([&] { return !has_popup_menu(tray->process_id()); }, 3s));
    EXPECT_EQ(tray->wait(500ms), std::nullopt);
    EXPECT_EQ(wine_tray_icons().size(), 1u);

    // Exit, the last entry: the tray ends and takes its icon along.
    menu = open_menu(tray->process_id());
    ASSERT_TRUE(menu) << "the menu did not open a second time";
    choose_from_bottom(menu->window, 1);
    EXPECT_EQ(tray->wait(5s), 0u);
    EXPECT_TRUE(eventually([] { return wine_tray_icons().empty(); }, 3s));
    EXPECT_EQ(tray_window(), nullptr);
}

TEST_F(Tray, IconAndTooltipFollowTheService) {
    FakeService service(3307, 3000); // a stop stays pending for 3 s
    auto tray = start_tray();
    ASSERT_NE(icon_, nullptr);
    EXPECT_EQ(tooltip(), "KELTA MySQL 5.7 - stopped (port 3307)");
    take_welcome_balloon();
    EXPECT_EQ(dot_of(icon_), DotSeen::red);
    screenshot_tray("tray-stopped");

    // Started from this process: the next tick of the 2-second timer shows it.
    ASSERT_TRUE(service.start());
    EXPECT_TRUE(tooltip_becomes("KELTA MySQL 5.7 - running (port 3307)", 4s)) << tooltip();
    expect_dot(DotSeen::none);
    screenshot_tray("tray-running");
    auto menu = open_menu(tray->process_id());
    ASSERT_TRUE(menu);
    save_screenshot("tray-menu-running", menu->area);
    EXPECT_TRUE(menu->pixels == expected_menu_picture(ServiceStatus::Running, false));
    close_popup_menu(menu->window);
    EXPECT_TRUE(eventually([&] { return !has_popup_menu(tray->process_id()); }, 3s));

    ASSERT_TRUE(service.request_stop());
    EXPECT_TRUE(tooltip_becomes("KELTA MySQL 5.7 - stopping... (port 3307)", 4s)) << tooltip();
    expect_dot(DotSeen::amber);
    screenshot_tray("tray-stopping");

    ASSERT_TRUE(service.wait_for(SERVICE_STOPPED, 10000));
    expect_stop_shown("KELTA MySQL 5.7 - stopped (port 3307)");
}

TEST_F(Tray, RunningServiceThatDoesNotListenIsAmber) {
    // No backup task from an earlier suite: the tray asks the Task Scheduler once as it starts.
    clear_tool_state();
    // A port nobody listens on: the service runs but the probe finds no listener.
    const int port = 47311;
    e2e::write_file(folder_.path("my.ini"), "[mysqld]\r\nport=" + std::to_string(port) + "\r\n");
    FakeService service(0, 0);
    ASSERT_TRUE(service.start());
    auto tray = start_tray();
    ASSERT_NE(icon_, nullptr);
    EXPECT_EQ(tooltip(), "KELTA MySQL 5.7 - running, not accepting connections yet (port " +
                             std::to_string(port) + ")");
    take_welcome_balloon();
    expect_dot(DotSeen::amber);
    screenshot_tray("tray-not-accepting");

    // A changed port alone is news too: the tooltip follows my.ini.
    e2e::write_file(folder_.path("my.ini"), "[mysqld]\r\nport=47312\r\n");
    const std::string status =
        "KELTA MySQL 5.7 - running, not accepting connections yet (port 47312)";
    EXPECT_TRUE(tooltip_becomes(status, 4s)) << tooltip();

    // Backups switched on 27 hours ago, and their task gone: one balloon, and the tooltip says so.
    const std::string stamp = local_time_before(27h);
    const std::string state = folder_.path("backup-state.ini");
    e2e::write_file(state, "[backup]\r\nswitched_on=" + stamp);
    std::optional<BalloonSeen> balloon;
    const auto balloon_is = [&](const std::string& text) {
        return eventually([&] { return (balloon = balloon_of(icon_)) && balloon->text == text; },
                          5s);
    };
    const std::string missing = "The automatic backup task is missing";
    EXPECT_TRUE(balloon_is(missing)) << (balloon ? balloon->text : "none");
    EXPECT_TRUE(tooltip_becomes(status + "\n" + missing, 4s)) << tooltip();
    hide_balloons();

    // The task back (asked again as backup.ini changes), but no backup ever came since the
    // switch-on: one balloon, and the tooltip says so until one comes.
    ASSERT_TRUE(run_hidden(system_tool_path("schtasks"),
                           {"/Create", "/TN", "KELTA Retail MySQL Backup", "/TR", "x"}));
    e2e::write_file(folder_.path("backup.ini"), "[backup]\r\nenabled=1\r\n");
    const std::string late = "No automatic backup since " + stamp.substr(0, 16);
    EXPECT_TRUE(balloon_is(late)) << (balloon ? balloon->text : "none");
    EXPECT_TRUE(balloon->error_symbol);
    EXPECT_TRUE(tooltip_becomes(status + "\n" + late, 4s)) << tooltip();
    screenshot_with_balloon("tray-backup-late");
    hide_balloons();
    Sleep(4500);
    EXPECT_FALSE(balloon_of(icon_).has_value()) << "the same warning came again";

    // A run that failed is told at once.
    e2e::write_file(state,
                    "[backup]\r\nerror=mysqldump failed: disk full\r\nlast_good_time=" + stamp);
    EXPECT_TRUE(balloon_is("Automatic backup failed: mysqldump failed: disk full"))
        << (balloon ? balloon->text : "none");
    EXPECT_TRUE(tooltip_becomes(status + "\nAutomatic backup failed", 4s)) << tooltip();
    hide_balloons();
}

TEST_F(Tray, ChineseTooltipAndWelcome) {
    ASSERT_TRUE(set_language("zh"));
    FakeService service(3307, 0);
    ASSERT_TRUE(service.start());
    auto tray = start_tray();
    ASSERT_NE(icon_, nullptr);
    EXPECT_EQ(tooltip(), "KELTA MySQL 5.7 - 运行中 (端口 3307)");
    std::optional<BalloonSeen> balloon;
    ASSERT_TRUE(eventually([&] { return (balloon = balloon_of(icon_)).has_value(); }, 6s));
    EXPECT_EQ(balloon->text, "已在托盘中运行，双击图标打开设置。");
    screenshot_with_balloon("tray-running-chinese");
    hide_balloons();
    expect_dot(DotSeen::none);
}

TEST_F(Tray, TaskbarCreatedPutsTheIconBack) {
    auto tray = start_tray();
    ASSERT_NE(icon_, nullptr);
    take_welcome_balloon();
    const UINT taskbar_created = RegisterWindowMessageW(L"TaskbarCreated");

    // With the icon still there the broadcast changes nothing: still one icon.
    PostMessageW(HWND_BROADCAST, taskbar_created, 0, 0);
    Sleep(1000);
    EXPECT_EQ(wine_tray_icons().size(), 1u);

    // A restarted shell has forgotten every icon: play that by removing ours from outside.
    NOTIFYICONDATAW gone{.cbSize = sizeof(NOTIFYICONDATAW), .hWnd = tray_window(), .uID = 1};
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &gone));
    ASSERT_TRUE(eventually([] { return wine_tray_icons().empty(); }, 3s));
    PostMessageW(HWND_BROADCAST, taskbar_created, 0, 0);
    ASSERT_TRUE(eventually([&] { return single_tray_icon().has_value(); }, 3s))
        << "the icon did not come back";
    icon_ = *single_tray_icon();
    EXPECT_EQ(tooltip(), "KELTA MySQL 5.7 - service not installed (port 3307)");
    // The welcome belongs to the first add only.
    Sleep(3000);
    EXPECT_EQ(balloon_of(icon_), std::nullopt);
    EXPECT_EQ(dot_of(icon_), DotSeen::grey);
}

TEST_F(Tray, InstallFromTheMenuGreysTheEntryWhileItRuns) {
    const SlowInstall slow = slow_install_program(8);
    const std::string& runs = slow.runs;

    auto tray = start_tray(slow.program);
    ASSERT_NE(icon_, nullptr);
    take_welcome_balloon();
    auto menu = open_menu(tray->process_id());
    ASSERT_TRUE(menu);
    EXPECT_TRUE(menu->pixels == expected_menu_picture(ServiceStatus::NotInstalled, false));
    choose_from_bottom(menu->window, 2); // Exit, then Install
    ASSERT_TRUE(eventually([&] { return exists(runs); }, 10s)) << "the install did not start";

    menu = open_menu(tray->process_id());
    ASSERT_TRUE(menu);
    save_screenshot("tray-menu-installing", menu->area);
    EXPECT_TRUE(menu->pixels == expected_menu_picture(ServiceStatus::NotInstalled, true))
        << "the install entry is not greyed while the install runs";
    close_popup_menu(menu->window);
    ASSERT_TRUE(eventually([&] { return !has_popup_menu(tray->process_id()); }, 3s));
    // The shell loses the icon before the failure comes: it comes back for the balloon.
    NOTIFYICONDATAW gone{.cbSize = sizeof(NOTIFYICONDATAW), .hWnd = tray_window(), .uID = 1};
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &gone));

    // The failure comes back as an error balloon; the entry is offered again.
    std::optional<BalloonSeen> balloon;
    ASSERT_TRUE(eventually(
        [&] {
            icon_ = single_tray_icon().value_or(nullptr);
            return icon_ && (balloon = balloon_of(icon_)).has_value();
        },
        20s))
        << "no balloon after the failed install";
    EXPECT_TRUE(balloon->text.starts_with("mysqld --initialize failed; see ")) << balloon->text;
    EXPECT_TRUE(balloon->error_symbol);
    screenshot_with_balloon("tray-install-failed");
    hide_balloons();
    EXPECT_EQ(lines_of(e2e::read_file(runs)).size(), 1u);
    menu = open_menu(tray->process_id());
    ASSERT_TRUE(menu);
    EXPECT_TRUE(menu->pixels == expected_menu_picture(ServiceStatus::NotInstalled, false));
    close_popup_menu(menu->window);
    EXPECT_EQ(tooltip(), "KELTA MySQL 5.7 - service not installed (port 3307)");
}

// Exit while an install from the menu runs: the icon goes at once, but the process lives until the
// install has finished its step, so that nothing is left half done (the data folder's init.sql
// holds the root password in clear text until the initialization step removes it).
TEST_F(Tray, ExitDuringAnInstallLetsTheInstallFinish) {
    const SlowInstall slow = slow_install_program(5);
    auto tray = start_tray(slow.program);
    ASSERT_NE(icon_, nullptr);
    take_welcome_balloon();
    auto menu = open_menu(tray->process_id());
    ASSERT_TRUE(menu);
    choose_from_bottom(menu->window, 2); // Exit, then Install
    ASSERT_TRUE(eventually([&] { return exists(slow.runs); }, 10s)) << "the install did not start";
    ASSERT_TRUE(exists(folder_.path("init.sql"))) << "the install is not in the middle of a step";

    // --quit returns only once the process has ended, after the install.
    Finished quit = run(Launch{{"--quit"}, {{"ProgramData", folder_.program_data()}}}, 30s);
    EXPECT_EQ(quit.exit_code, 0u);
    EXPECT_EQ(tray_window(), nullptr);
    EXPECT_TRUE(eventually([] { return wine_tray_icons().empty(); }, 2s)) << "icon left behind";
    EXPECT_EQ(tray->wait(0ms), 0u) << "--quit returned while the tray still ran";
    EXPECT_FALSE(exists(folder_.path("init.sql"))) << "the install was cut off";
    EXPECT_EQ(lines_of(e2e::read_file(slow.runs)).size(), 1u);
}

// Programs the process started that still run.
std::vector<DWORD> children_of(DWORD parent) {
    std::vector<DWORD> children;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return children;
    PROCESSENTRY32W entry{.dwSize = sizeof(PROCESSENTRY32W)};
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == parent &&
            _wcsicmp(entry.szExeFile, L"KeltaMySQL.exe") == 0)
            children.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return children;
}

void end_process(DWORD id) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (!process) return;
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
}

// An unelevated tray (KeltaMySQL-unelevated.exe) installs through an elevated child, which tells
// its own failure; a declined prompt is an error balloon, with the entry offered again.
TEST_F(Tray, InstallFromATrayThatIsNotElevated) {
    const SlowInstall slow = slow_install_program(1, app_exe("KeltaMySQL-unelevated.exe"));
    SetEnvironmentVariableW(L"KELTA_TEST_DECLINE", L"1");
    auto declined = start_tray(slow.program);
    SetEnvironmentVariableW(L"KELTA_TEST_DECLINE", nullptr);
    take_welcome_balloon();
    auto menu = open_menu(declined->process_id());
    ASSERT_TRUE(menu);
    choose_from_bottom(menu->window, 2); // Exit, then Install
    std::optional<BalloonSeen> balloon;
    ASSERT_TRUE(eventually([&] { return (balloon = balloon_of(icon_)).has_value(); }, 10s));
    EXPECT_EQ(balloon->text, "administrator permission was not granted");
    EXPECT_TRUE(balloon->error_symbol);
    hide_balloons();
    menu = open_menu(declined->process_id());
    ASSERT_TRUE(menu);
    EXPECT_TRUE(menu->pixels == expected_menu_picture(ServiceStatus::NotInstalled, false));
    close_popup_menu(menu->window);
    EXPECT_FALSE(exists(slow.runs));
    ASSERT_EQ(run(Launch{{"--quit"}, {{"ProgramData", folder_.program_data()}}}).exit_code, 0u);

    auto tray = start_tray(slow.program);
    take_welcome_balloon();
    menu = open_menu(tray->process_id());
    ASSERT_TRUE(menu);
    choose_from_bottom(menu->window, 2);
    std::vector<DWORD> child;
    ASSERT_TRUE(eventually([&] { return !(child = children_of(tray->process_id())).empty(); }));
    auto told = take_message_box(child[0], 30s);
    ASSERT_TRUE(told.has_value()) << "the elevated install told nothing";
    EXPECT_TRUE(told->text.starts_with("mysqld --initialize failed; see ")) << told->text;
    EXPECT_EQ(lines_of(e2e::read_file(slow.runs)).size(), 1u);
}

TEST_F(Tray, DoubleClickAndSetupEntryOpenTheSetupWindow) {
    auto tray = start_tray();
    ASSERT_NE(icon_, nullptr);
    take_welcome_balloon();
    const DWORD tray_id = tray->process_id();

    // A single click does nothing.
    PostMessageW(tray_window(), tray_callback, tray_icon_id_, WM_LBUTTONUP);
    Sleep(1500);
    EXPECT_TRUE(children_of(tray_id).empty());

    // A double click starts the program again for the Setup window, without waiting for it.
    PostMessageW(tray_window(), tray_callback, tray_icon_id_, WM_LBUTTONDBLCLK);
    std::vector<DWORD> setup;
    ASSERT_TRUE(eventually([&] { return !(setup = children_of(tray_id)).empty(); }, 10s))
        << "no Setup process after the double click";
    EXPECT_EQ(setup.size(), 1u);
    for (DWORD id : setup)
        end_process(id);
    EXPECT_EQ(tray->wait(0ms), std::nullopt);

    // The Setup... entry does the same (from the bottom: Exit, Install, Setup...).
    auto menu = open_menu(tray_id);
    ASSERT_TRUE(menu);
    choose_from_bottom(menu->window, 3);
    ASSERT_TRUE(eventually([&] { return !(setup = children_of(tray_id)).empty(); }, 10s))
        << "no Setup process after the menu entry";
    for (DWORD id : setup)
        end_process(id);
    EXPECT_EQ(tray->wait(0ms), std::nullopt);
    EXPECT_EQ(wine_tray_icons().size(), 1u);
}

// The bench's MySQL 5.7 server installed the way an installer does it, and stopped and started
// from other processes while the tray watches.
TEST_F(Tray, FollowsTheInstalledServerStoppedAndStartedElsewhere) {
    struct ServiceRemoved {
        ~ServiceRemoved() { remove_service("KeltaMySQL57"); }
    } removed;
    const unsigned short port = free_tcp_port();
    const std::string config = join_path(folder_.program_data(), "setup.ini");
    e2e::write_file(config, "[connection]\r\nport=" + std::to_string(port) + "\r\n");
    const std::map<std::string, std::string> environment{{"ProgramData", folder_.program_data()}};
    ASSERT_EQ(run({{"--install", "--quiet", "--config", config}, environment}).exit_code, 0u);
    const std::string suffix = " (port " + std::to_string(port) + ")";

    auto tray = start_tray();
    ASSERT_NE(icon_, nullptr);
    EXPECT_EQ(tooltip(), "KELTA MySQL 5.7 - running" + suffix);
    take_welcome_balloon();
    expect_dot(DotSeen::none);

    ASSERT_EQ(run({{"--stop", "--quiet"}, environment}).exit_code, 0u);
    expect_stop_shown("KELTA MySQL 5.7 - stopped" + suffix);

    ASSERT_EQ(run({{"--start", "--quiet"}, environment}).exit_code, 0u);
    EXPECT_TRUE(tooltip_becomes("KELTA MySQL 5.7 - running" + suffix, 4s)) << tooltip();

    // Registers connected: the pointer on the icon has the tooltip count them at once.
    auto hover = [&](const std::string& wanted) {
        return eventually([&] {
            PostMessageW(tray_window(), tray_callback, tray_icon_id_, WM_MOUSEMOVE);
            return tooltip() == wanted;
        });
    };
    const auto settings = read_settings_file(folder_.path("connection.ini"));
    ASSERT_TRUE(settings.has_value());
    {
        RegisterSessions registers(settings->user, settings->password, port, 2);
        EXPECT_TRUE(hover("KELTA MySQL 5.7 - running" + suffix + "\n1 register connected"))
            << tooltip();
    }
    EXPECT_TRUE(hover("KELTA MySQL 5.7 - running" + suffix)) << tooltip();

    // Exiting the tray leaves the server running.
    auto menu = open_menu(tray->process_id());
    ASSERT_TRUE(menu);
    choose_from_bottom(menu->window, 1);
    EXPECT_EQ(tray->wait(5s), 0u);
    EXPECT_TRUE(tcp_listener(port)) << port;
}

} // namespace
