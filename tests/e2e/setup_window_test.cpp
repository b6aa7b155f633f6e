// The Setup window as the operator sees it: KeltaMySQL.exe --setup under Wine, read through its
// controls' texts and the pixels on the display. Screenshots go to C:\kelta-test\artifacts.
#include "harness.h"
#include "setup_window.h"
#include "user_registry.h"

#include "config/addresses.h"
#include "config/settings.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

const std::string personalize = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
const std::string dwm = "Software\\Microsoft\\Windows\\DWM";
const std::string desktop = "Control Panel\\Desktop";

constexpr DWORD light_window = 0xF3F3F3;
constexpr DWORD light_card = 0xFBFBFB;
constexpr DWORD light_hover = 0xEEEEEE;
constexpr DWORD light_inactive = 0x8A8A8A;
constexpr DWORD dark_window = 0x202020;
constexpr DWORD dark_card = 0x2B2B2B;
constexpr DWORD dark_inactive = 0x9A9A9A;

const std::string bullet = "\u25CF";

std::string bullets(int n) {
    std::string text;
    for (int i = 0; i < n; ++i)
        text += bullet;
    return text;
}

ConnectionSettings shop_settings(const std::string& password = "Xy-9_secret") {
    ConnectionSettings s;
    s.password = password;
    s.root_password = "root-secret-0123456789ab";
    return s;
}

// Every Setup window test starts from English, the light theme, no service, no firewall rule
// and its own connection.ini.
class SetupWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        set_user_string(program_key, "Language", "en");
        delete_user_value(personalize, "AppsUseLightTheme");
        delete_user_value(dwm, "AccentColor");
        clear_tool_state();
        remove_service("KeltaMySQL57");
        store_settings(shop_settings());
    }

    void store_settings(const ConnectionSettings& settings) {
        write_file(folder_.path("connection.ini"), render_settings(settings));
    }

    // The status dot's centre at scale 1.
    static constexpr POINT dot{263, 108};

    TestFolder folder_;
    SavedUserValue language_{program_key, "Language"};
    SavedUserValue theme_{personalize, "AppsUseLightTheme"};
    SavedUserValue accent_{dwm, "AccentColor"};
};

TEST_F(SetupWindowTest, NotInstalledShowsOnlyTheGreenInstallButton) {
    // A netsh that hangs holds up neither the window nor its first paint.
    write_file("C:\\kelta-bench\\force\\netsh.show.delay", "4");
    SetupWindow w(folder_);
    ASSERT_TRUE(w.handle());
    EXPECT_EQ(w.text(246), "Windows Firewall: checking\u2026");
    EXPECT_EQ(w.client_size().cx, 780);
    EXPECT_EQ(w.client_size().cy, 560);
    wchar_t title[128] = {};
    GetWindowTextW(w.handle(), title, 128);
    EXPECT_STREQ(title, L"KELTA Retail MySQL 1.1.1 - Setup");

    EXPECT_EQ(w.text(230), "The MySQL service is not installed");
    EXPECT_EQ(w.text(231), "");
    for (int hidden : {232, 233, 234, 247})
        EXPECT_FALSE(w.visible(hidden)) << hidden;
    ASSERT_TRUE(w.visible(239));
    EXPECT_EQ(w.text(239), "Install service");
    const std::string closed =
        "Windows Firewall: port 3307 is CLOSED - other registers cannot connect";
    EXPECT_TRUE(eventually([&] { return w.text(246) == closed; })) << w.text(246);
    EXPECT_EQ(w.text(240), register_address("0.0.0.0"));
    EXPECT_EQ(w.text(241), "3307");
    EXPECT_EQ(w.text(242), "kelta_retail");
    EXPECT_EQ(w.text(243), "kelta_retail");
    EXPECT_EQ(w.text(244), bullets(11));
    EXPECT_EQ(w.text(238), "Show");
    EXPECT_EQ(w.text(291), "");
    EXPECT_FALSE(w.visible(290));

    EXPECT_TRUE(eventually([&] { return w.pixel(dot.x, dot.y) == light_inactive; }));
    EXPECT_EQ(w.pixel(4, 4), light_window);
    EXPECT_EQ(w.pixel(240, 80), light_card);
    EXPECT_GT(w.count_pixels(w.control_rect(239), greenish), 20);
    EXPECT_EQ(w.count_pixels(w.control_rect(239), reddish), 0);
    EXPECT_TRUE(eventually([&] { return w.count_pixels(w.control_rect(246), reddish) > 20; }));
    w.screenshot("setup-overview-not-installed");
    EXPECT_EQ(w.close(), 0u);
}

TEST_F(SetupWindowTest, CopyConnectionStringPutsExactlyTheStringOnTheClipboard) {
    ConnectionSettings settings = shop_settings("Pa55;word");
    settings.port = 3310;
    settings.database = "shop_db";
    settings.user = "till";
    settings.bind = "0.0.0.0";
    store_settings(settings);
    empty_clipboard();
    SetupWindow w(folder_);
    ASSERT_TRUE(w.handle());
    // While another program holds the clipboard open, the copy fails and says so.
    ASSERT_TRUE(OpenClipboard(nullptr));
    w.click(237);
    auto refused = take_message_box(w.process_id(), std::chrono::seconds(10));
    CloseClipboard();
    ASSERT_TRUE(refused.has_value());
    EXPECT_TRUE(refused->text.starts_with("OpenClipboard: ")) << refused->text;
    EXPECT_TRUE(eventually([&] { return w.text(291) == refused->text; })) << w.text(291);
    EXPECT_EQ(clipboard_text(), std::nullopt);

    w.click(237);
    ASSERT_TRUE(eventually([&] { return w.text(291) == "Connection string copied"; }));
    EXPECT_EQ(clipboard_text(), "Server=" + register_address("0.0.0.0") +
                                    ";Port=3310;Database=shop_db;User=till;Password=Pa55;word;");
    EXPECT_TRUE(eventually([&] { return w.count_pixels(w.control_rect(291), greenish) > 20; }));
}

TEST_F(SetupWindowTest, PasswordShowsTwelveBulletsUntilShown) {
    const std::string password = "ABCDEFGHIJklmnopqrst";
    store_settings(shop_settings(password));
    SetupWindow w(folder_);
    ASSERT_TRUE(w.handle());
    EXPECT_EQ(w.text(244), bullets(12));
    w.click(238);
    ASSERT_TRUE(eventually([&] { return w.text(244) == password; }));
    EXPECT_EQ(w.text(238), "Hide");
    w.screenshot("setup-overview-password-shown");
    w.click(238);
    ASSERT_TRUE(eventually([&] { return w.text(244) == bullets(12); }));
    EXPECT_EQ(w.text(238), "Show");
}

TEST_F(SetupWindowTest, EscapeClosesTheWindow) {
    SetupWindow w(folder_);
    ASSERT_TRUE(w.handle());
    // The dialog manager of the message loop turns Escape into IDCANCEL.
    PostMessageW(w.control(237), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(w.process().wait(std::chrono::seconds(10)), 0u);
}

TEST_F(SetupWindowTest, SecondStartBringsTheOpenWindowForward) {
    SetupWindow w(folder_);
    ASSERT_TRUE(w.handle());
    ShowWindow(w.handle(), SW_MINIMIZE);
    ASSERT_TRUE(eventually([&] { return IsIconic(w.handle()) != FALSE; }));

    auto second = run({{"--setup", "general"}, {{"ProgramData", folder_.program_data()}}},
                      std::chrono::seconds(30));
    EXPECT_EQ(second.exit_code, 0u);
    EXPECT_TRUE(eventually([&] { return !IsIconic(w.handle()); }));
    int windows = 0;
    for (HWND found = FindWindowExW(nullptr, nullptr, L"KeltaMySqlSetupWnd", nullptr); found;
         found = FindWindowExW(nullptr, found, L"KeltaMySqlSetupWnd", nullptr))
        ++windows;
    EXPECT_EQ(windows, 1);
    // The page asked for by the second start is not passed on.
    EXPECT_TRUE(w.visible(230));
}

TEST_F(SetupWindowTest, PageWordOpensThatPage) {
    SetupWindow w(folder_, {"backup"});
    ASSERT_TRUE(w.handle());
    for (int overview : {230, 237, 239, 244})
        EXPECT_FALSE(w.visible(overview)) << overview;
    EXPECT_TRUE(w.visible(291));
    // Back to the Overview by its navigation item: its controls show again, with the hiding
    // rules of the refresh.
    w.click_at(100, 40);
    // The switch shows the page's controls one by one and the refresh then hides some again.
    EXPECT_TRUE(eventually(
        [&] { return w.visible(230) && w.visible(239) && !w.visible(232) && !w.visible(247); }));
}

// Wine reads the display's dots per inch from the user's "LogPixels" when a process starts.
TEST_F(SetupWindowTest, At144DotsPerInchEverythingScales) {
    SavedUserValue dpi(desktop, "LogPixels");
    set_user_dword(desktop, "LogPixels", 144);
    SetupWindow w(folder_);
    ASSERT_TRUE(w.handle());
    EXPECT_EQ(w.client_size().cx, 1170);
    EXPECT_EQ(w.client_size().cy, 840);
    EXPECT_TRUE(eventually([&] { return w.pixel(395, 162) == light_inactive; })); // the dot

    // y 150 is navigation item 1 at this scale (96 to 156); at 96 dots per inch it would be
    // below item 2.
    w.click_at(20, 150);
    ASSERT_TRUE(eventually([&] { return !w.visible(230); }));
    // The page title "Connection" is drawn in (354, 30, 1146, 90) and nowhere else above the
    // cards.
    ASSERT_TRUE(eventually([&] { return w.count_pixels({354, 30, 1146, 90}, darkish) > 50; }));
    EXPECT_EQ(w.count_pixels({330, 30, 354, 90}, darkish), 0);
    EXPECT_EQ(w.count_pixels({330, 0, 1170, 30}, darkish), 0);
    EXPECT_EQ(w.count_pixels({330, 90, 1170, 108}, darkish), 0);
    EXPECT_GT(w.count_pixels({354, 30, 372, 90}, darkish), 0); // the first letter starts at 354

    // Hovering item 2 (162 to 222) highlights it; leaving the window clears it.
    w.mouse_move_to(200, 190);
    EXPECT_TRUE(eventually([&] { return w.pixel(16, 170) == light_hover; }));
    w.screenshot("setup-144dpi-connection-hover");
    w.mouse_away();
    EXPECT_TRUE(eventually([&] { return w.pixel(16, 170) == light_window; }));
}

TEST_F(SetupWindowTest, DarkPaletteAndLiveSwitchToLight) {
    set_user_dword(personalize, "AppsUseLightTheme", 0);
    SetupWindow w(folder_);
    ASSERT_TRUE(w.handle());
    const RECT detail = w.control_rect(231); // empty label on the first card
    const POINT in_detail{detail.left + 5, detail.top + 5};
    EXPECT_TRUE(eventually([&] { return w.pixel(dot.x, dot.y) == dark_inactive; }));
    EXPECT_EQ(w.pixel(4, 4), dark_window);
    EXPECT_EQ(w.pixel(240, 80), dark_card);
    EXPECT_EQ(w.pixel(in_detail.x, in_detail.y), dark_card);
    w.screenshot("setup-overview-dark");

    set_user_dword(personalize, "AppsUseLightTheme", 1);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(w.handle(), WM_SETTINGCHANGE, 0,
                        reinterpret_cast<LPARAM>(L"ImmersiveColorSet"), SMTO_ABORTIFHUNG, 5000,
                        &ignored);
    EXPECT_TRUE(eventually([&] { return w.pixel(4, 4) == light_window; }));
    EXPECT_EQ(w.pixel(240, 80), light_card);
    EXPECT_EQ(w.pixel(dot.x, dot.y), light_inactive);
    EXPECT_TRUE(eventually([&] { return w.pixel(in_detail.x, in_detail.y) == light_card; }));
    w.screenshot("setup-overview-switched-to-light");

    // Another setting changing repaints nothing in another palette.
    set_user_dword(personalize, "AppsUseLightTheme", 0);
    SendMessageTimeoutW(w.handle(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"),
                        SMTO_ABORTIFHUNG, 5000, &ignored);
    Sleep(300);
    EXPECT_EQ(w.pixel(4, 4), light_window);
}

} // namespace
