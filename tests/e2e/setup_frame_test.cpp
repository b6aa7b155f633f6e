// The Setup window's frame driven from inside: the window is created in the test process, so
// that the test reaches its state record, its update regions and the messages it sends. What it
// repaints, the navigation rules, the busy state and its results, the rebuild after a language
// change.
#include "harness.h"
#include "setup_window.h"
#include "user_registry.h"

#include "app/setup_program.h"
#include "base/text.h"
#include "config/settings.h"
#include "i18n/language.h"
#include "jobs/jobs.h"
#include "setup/busy.h"
#include "setup/control_ids.h"
#include "setup/controls.h"
#include "setup/frame.h"
#include "setup/overview_page.h"
#include "setup/pages.h"
#include "setup/system_checks.h"
#include "svc/service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <set>

using namespace e2e;

namespace {

const std::string personalize = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

// Messages by which a control would change on the screen.
int visible_changes = 0;
LRESULT CALLBACK count_visible_changes(int code, WPARAM wparam, LPARAM lparam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lparam);
    if (code == HC_ACTION && (sent->message == WM_SETTEXT || sent->message == WM_ENABLE ||
                              sent->message == WM_SHOWWINDOW))
        ++visible_changes;
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

class SetupFrame : public ::testing::Test {
  protected:
    void SetUp() override {
        set_user_string(program_key, "Language", "en");
        detect_language();
        delete_user_value(personalize, "AppsUseLightTheme");
        clear_tool_state();
        wchar_t saved[MAX_PATH] = {};
        GetEnvironmentVariableW(L"ProgramData", saved, MAX_PATH);
        saved_program_data_ = saved;
        SetEnvironmentVariableW(L"ProgramData", widen(folder_.program_data()).c_str());
        ConnectionSettings settings;
        settings.password = "shop-password-1";
        settings.root_password = "root-password-0123456789";
        write_file(folder_.path("connection.ini"), render_settings(settings));
        take_job_result();

        window_ = open_setup_window(state_);
        ASSERT_NE(window_, nullptr);
        // The firewall and task checks answer from a thread of their own.
        ASSERT_TRUE(eventually([&] {
            settle();
            return state_.firewall_open.has_value();
        }));
    }

    void TearDown() override {
        if (window_) DestroyWindow(window_);
        wait_for_system_checks();
        settle();
        SetEnvironmentVariableW(L"ProgramData", saved_program_data_.c_str());
        detect_language();
    }

    // Handles everything queued and paints everything invalid.
    void settle() {
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (window_) RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }

    // The window's update region as a bounding box; empty when nothing waits to be repainted.
    RECT pending_frame_repaint() const {
        RECT r{};
        GetUpdateRect(window_, &r, FALSE);
        return r;
    }

    int controls_waiting_for_repaint() const {
        int waiting = 0;
        for (const ControlEntry& control : state_.controls)
            if (GetUpdateRect(control.window, nullptr, FALSE)) ++waiting;
        return waiting;
    }

    // Counts the text, enable and show changes a call makes to any window of this thread.
    template <class F> int changes_made_by(F&& call) {
        visible_changes = 0;
        HHOOK hook =
            SetWindowsHookExW(WH_CALLWNDPROC, count_visible_changes, nullptr, GetCurrentThreadId());
        call();
        UnhookWindowsHookEx(hook);
        return visible_changes;
    }

    LRESULT send(UINT message, WPARAM wparam, LPARAM lparam) {
        return SendMessageW(window_, message, wparam, lparam);
    }

    std::string text(int id) const { return get_text(window_, id); }

    TestFolder folder_;
    SavedUserValue language_{program_key, "Language"};
    SavedUserValue theme_{personalize, "AppsUseLightTheme"};
    std::wstring saved_program_data_;
    SetupUiState state_;
    HWND window_ = nullptr;
};

bool is_empty(const RECT& r) {
    return IsRectEmpty(&r) != FALSE;
}

TEST_F(SetupFrame, RefreshWithNothingChangedRepaintsNothing) {
    EXPECT_EQ(changes_made_by([&] { refresh_pages(window_); }), 0);
    EXPECT_TRUE(is_empty(pending_frame_repaint()));
    EXPECT_EQ(controls_waiting_for_repaint(), 0);

    // The count sees real changes: another port changes the port field and the firewall line.
    state_.saved_settings->port = 3399;
    EXPECT_EQ(changes_made_by([&] { refresh_pages(window_); }), 2);
    EXPECT_EQ(text(id::port_field), "3399");
    EXPECT_TRUE(is_empty(pending_frame_repaint()));
}

TEST_F(SetupFrame, NavigationRepaintsOnlyWhatChanged) {
    const LPARAM in_item0 = MAKELPARAM(100, 40);
    const LPARAM in_item1 = MAKELPARAM(100, 84);
    const LPARAM also_in_item1 = MAKELPARAM(150, 90);
    const LPARAM in_gap = MAKELPARAM(100, 62);

    // Clicking the page on show changes nothing.
    send(WM_LBUTTONDOWN, MK_LBUTTON, in_item0);
    EXPECT_TRUE(is_empty(pending_frame_repaint()));
    EXPECT_EQ(state_.current_page, 0);

    // Entering another item repaints the navigation column, and only it.
    send(WM_MOUSEMOVE, 0, in_item1);
    EXPECT_EQ(state_.hover_tab, 1);
    RECT column = pending_frame_repaint();
    EXPECT_EQ(column.left, 0);
    EXPECT_EQ(column.top, 0);
    EXPECT_EQ(column.right, 220);
    EXPECT_EQ(column.bottom, 560);
    ValidateRect(window_, nullptr);
    send(WM_MOUSEMOVE, 0, also_in_item1);
    EXPECT_TRUE(is_empty(pending_frame_repaint()));
    send(WM_MOUSEMOVE, 0, in_gap);
    EXPECT_EQ(state_.hover_tab, -1);
    EXPECT_FALSE(is_empty(pending_frame_repaint()));
    ValidateRect(window_, nullptr);
    send(WM_MOUSELEAVE, 0, 0);
    EXPECT_TRUE(is_empty(pending_frame_repaint())); // nothing was highlighted

    send(WM_MOUSEMOVE, 0, in_item1);
    ValidateRect(window_, nullptr);
    send(WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(state_.hover_tab, -1);
    EXPECT_FALSE(is_empty(pending_frame_repaint()));

    // A click on another item switches the page: its controls show, the Overview's hide.
    send(WM_LBUTTONDOWN, MK_LBUTTON, in_item1);
    EXPECT_EQ(state_.current_page, 1);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window_, id::status_text)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window_, id::install_button)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(window_, id::status_line)));
    RECT whole = pending_frame_repaint();
    EXPECT_EQ(whole.right, 780);
    EXPECT_EQ(whole.bottom, 560);
}

// The page a control belongs to, by its identifier; labels without one are on the first two.
std::uint8_t page_of(int id) {
    if (id == id::progress_bar || id == id::status_line) return page::every;
    if (id >= id::status_text && id <= id::diagnosis_action) return page::overview;
    if (id >= id::overview_note_first && id < id::overview_note_first + id::overview_note_slots)
        return page::overview;
    if ((id >= id::port_edit && id <= id::host_hint) ||
        id == id::firewall_box + id::checkbox_label_offset)
        return page::connection;
    if ((id >= id::backup_heading && id <= id::open_data_folder) ||
        (id >= id::automatic_heading && id <= id::network_share_hint) ||
        id == id::automatic_box + id::checkbox_label_offset)
        return page::backup;
    return page::general;
}

TEST_F(SetupFrame, ControlsBelongToTheirPagesWithTheirFonts) {
    ASSERT_FALSE(state_.controls.empty());
    const std::vector<int> headings = {
        id::connection_heading,    id::backup_heading,  id::restore_heading,
        id::data_location_heading, id::startup_heading, id::language_heading,
        id::logs_heading,          id::about_heading,   id::about_line,
        id::automatic_heading};
    int frame_controls = 0;
    std::set<std::uint8_t> pages;
    for (const ControlEntry& control : state_.controls) {
        const int id = GetDlgCtrlID(control.window);
        pages.insert(control.page);
        if (id == 0) {
            EXPECT_TRUE(control.page == page::overview || control.page == page::connection);
        } else {
            EXPECT_EQ(control.page, page_of(id)) << id;
        }
        if (control.page == page::every) ++frame_controls;
        // The other pages' controls wait hidden.
        if (control.page != page::every && control.page != page::overview) {
            EXPECT_FALSE(IsWindowVisible(control.window)) << id;
        }
        auto font = reinterpret_cast<HFONT>(SendMessageW(control.window, WM_GETFONT, 0, 0));
        HFONT expected = id == id::status_text ? state_.fonts->status.get()
                         : std::ranges::find(headings, id) != headings.end()
                             ? state_.fonts->section.get()
                             : state_.fonts->body.get();
        EXPECT_EQ(font, expected) << id;
    }
    EXPECT_EQ(frame_controls, 2);
    EXPECT_EQ(pages, (std::set<std::uint8_t>{page::overview, page::connection, page::backup,
                                             page::general, page::every}));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window_, id::progress_bar)));
    EXPECT_EQ(state_.controls.back().window, GetDlgItem(window_, id::status_line));
}

TEST_F(SetupFrame, AJobRequestWhileBusyIsIgnored) {
    state_.busy = true;
    set_status_line(window_, StatusKind::neutral, "unchanged");
    send(WM_COMMAND, MAKEWPARAM(id::start_button, BN_CLICKED), 0);
    send(WM_COMMAND, MAKEWPARAM(id::install_button, BN_CLICKED), 0);
    Sleep(300);
    EXPECT_FALSE(take_job_result().has_value());
    EXPECT_EQ(text(id::status_line), "unchanged");
    // And the refresh queries nothing while busy: a changed port stays unshown.
    state_.saved_settings->port = 3399;
    EXPECT_EQ(changes_made_by([&] { refresh_pages(window_); }), 0);
    state_.busy = false;
}

// MSG_JOB_DONE as a job thread posts it, with each kind of result in the slot.
TEST_F(SetupFrame, JobResultsEndTheBusyState) {
    auto finish_with = [&](std::optional<JobResult> result) {
        state_.busy = true;
        EnableWindow(window_, FALSE);
        ShowWindow(GetDlgItem(window_, id::progress_bar), SW_SHOW);
        if (result) store_job_result(*result);
        send(MSG_JOB_DONE, 0, 0);
        EXPECT_FALSE(state_.busy);
        EXPECT_TRUE(IsWindowEnabled(window_));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(window_, id::progress_bar)));
    };

    // Unsaved Connection edits outlive every job but a Save that worked.
    SetDlgItemTextW(window_, id::port_edit, L"3400");
    finish_with(JobResult{false, "MySQL started"});
    EXPECT_EQ(text(id::port_edit), "3400");
    EXPECT_EQ(text(id::status_line), "MySQL started");
    EXPECT_EQ(state_.status_kind, StatusKind::success);

    finish_with(std::nullopt);
    EXPECT_EQ(text(id::status_line), "");
    EXPECT_EQ(state_.status_kind, StatusKind::neutral);

    // An error: its first line in the status line, all of it in an error box.
    auto box = std::async(std::launch::async, [] {
        return take_message_box(GetCurrentProcessId(), std::chrono::seconds(20));
    });
    state_.job_saves_settings = true;
    finish_with(JobResult{true, "mysqld.exe: cannot start\r\nsecond line\nthird line"});
    auto seen = box.get();
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->caption, "KELTA Retail MySQL");
    EXPECT_EQ(seen->text, "mysqld.exe: cannot start\r\nsecond line\nthird line");
    EXPECT_TRUE(seen->error_icon);
    EXPECT_EQ(text(id::status_line), "mysqld.exe: cannot start");
    EXPECT_EQ(state_.status_kind, StatusKind::error);
    EXPECT_EQ(text(id::port_edit), "3400") << "a failed Save lost what was typed";
    EXPECT_TRUE(eventually([&] {
        settle();
        return IsWindowEnabled(GetDlgItem(window_, id::save_button)) != FALSE;
    }));

    finish_with(JobResult{false, "Settings saved."});
    EXPECT_EQ(text(id::port_edit), "3307");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window_, id::save_button)));
}

TEST_F(SetupFrame, RebuildAfterALanguageChange) {
    const size_t controls = state_.controls.size();
    ASSERT_TRUE(set_language("zh"));
    rebuild_controls(window_);
    settle();
    EXPECT_EQ(state_.controls.size(), controls);
    EXPECT_EQ(text(id::status_text), "MySQL 服务未安装");
    EXPECT_EQ(text(id::install_button), "安装服务");
    EXPECT_EQ(text(id::copy_connection_string), "复制连接字符串");
    wchar_t title[128] = {};
    GetWindowTextW(window_, title, 128);
    EXPECT_EQ(narrow(title), "KELTA Retail MySQL 1.1.1 - 设置");
    LOGFONTW body{};
    GetObjectW(state_.fonts->body.get(), sizeof body, &body);
    EXPECT_STREQ(body.lfFaceName, L"Microsoft YaHei UI");
    LOGFONTW icon{};
    GetObjectW(state_.fonts->icon.get(), sizeof icon, &icon);
    EXPECT_STREQ(icon.lfFaceName, L"Segoe MDL2 Assets");
    auto font = reinterpret_cast<HFONT>(
        SendMessageW(GetDlgItem(window_, id::copy_connection_string), WM_GETFONT, 0, 0));
    EXPECT_EQ(font, state_.fonts->body.get());

    ASSERT_TRUE(set_language("en"));
    rebuild_controls(window_);
    EXPECT_EQ(text(id::status_text), "The MySQL service is not installed");
    GetObjectW(state_.fonts->body.get(), sizeof body, &body);
    EXPECT_STREQ(body.lfFaceName, L"Segoe UI");
}

TEST_F(SetupFrame, ThemeChangeReadsTheThemeAgainAndDropsTheBrushes) {
    EXPECT_FALSE(state_.dark);
    EXPECT_FALSE(state_.brushes.empty()); // painting made some
    set_user_dword(personalize, "AppsUseLightTheme", 0);
    send(WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
    EXPECT_TRUE(state_.dark);
    EXPECT_EQ(state_.palette, dark_palette());
    settle();
    for (const auto& [colour, brush] : state_.brushes)
        EXPECT_NE(std::ranges::find(dark_palette(), colour), dark_palette().end()) << colour;
}

TEST_F(SetupFrame, EscapeAndClosingRules) {
    state_.busy = true;
    send(WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window_)); // a running job keeps the window
    state_.busy = false;
    send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    settle();
    EXPECT_FALSE(IsWindow(window_));
    window_ = nullptr;
}

// A window whose record is gone ends the process rather than use freed memory.
TEST(SetupFrameDeathTest, StateOfAWindowWithoutItsRecordEndsTheProcess) {
    HWND plain =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EXIT(setup_state(plain), ::testing::ExitedWithCode(3), "");
    DestroyWindow(plain);
}

} // namespace
