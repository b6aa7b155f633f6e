// The General page of the real program: the start type of the bench's service, the Run value of
// the tray at logon, the language list rebuilding the window, Notepad with the error log and
// Explorer with the log folder.
#include "harness.h"
#include "server.h"
#include "setup_window.h"
#include "user_registry.h"

#include "base/files.h"
#include "svc/start_type.h"

#include <gtest/gtest.h>

using namespace e2e;
using namespace std::chrono_literals;

namespace {

const std::string run_value = "KELTA Retail MySQL";
constexpr auto job_limit = 150s;

constexpr int start_with_windows = 271;
constexpr int tray_at_logon = 272;
constexpr int label_offset = 100;
constexpr int language_list = 274;
constexpr int open_error_log = 277;
constexpr int log_folder = 278;
constexpr int about_line = 280;
constexpr int copyright_line = 281;
constexpr int status_line = 291;
constexpr int port_edit = 201;
constexpr int save_button = 212;

class GeneralPage : public ::testing::Test {
  protected:
    void SetUp() override {
        set_user_string(program_key, "Language", "en");
        clear_tool_state();
        remove_service("KeltaMySQL57");
    }
    void TearDown() override { remove_service("KeltaMySQL57"); }

    SavedUserValue language_{program_key, "Language"};
    SavedUserValue run_{run_key, run_value};
};

TEST_F(GeneralPage, StartTypeBoxFollowsTheService) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    ASSERT_EQ(server.mode({"--uninstall"}).exit_code, 0u);
    SetupWindow w(server.folder(), {"general"});
    ASSERT_TRUE(w.handle());
    EXPECT_EQ(w.text(about_line), "KELTA Retail MySQL  Version 1.1.1");
    EXPECT_EQ(w.text(copyright_line), "Copyright \u00A9 2026 Vantrelo");

    // Not installed: disabled and clear; its label does nothing.
    EXPECT_FALSE(w.enabled(start_with_windows));
    EXPECT_FALSE(w.enabled(start_with_windows + label_offset));
    EXPECT_FALSE(w.checked(start_with_windows));
    w.click(start_with_windows + label_offset);
    Sleep(500);
    EXPECT_TRUE(w.window_enabled());
    EXPECT_FALSE(w.checked(start_with_windows));

    // Installed (starting with Windows): the next refresh shows it.
    ASSERT_EQ(server.mode({"--install"}).exit_code, 0u);
    ASSERT_TRUE(
        eventually([&] { return w.enabled(start_with_windows) && w.checked(start_with_windows); }));
    w.screenshot("setup-general-installed");

    // A click runs the start-type job: the window is busy, then the status line is empty and
    // the box shows what the service now has.
    w.click(start_with_windows);
    ASSERT_TRUE(eventually([&] { return query_start_type() == StartType::manual; }, job_limit));
    EXPECT_TRUE(eventually([&] { return w.window_enabled() && !w.checked(start_with_windows); }));
    EXPECT_EQ(w.text(status_line), "");

    // Its label acts as the box.
    w.click(start_with_windows + label_offset);
    ASSERT_TRUE(eventually([&] { return query_start_type() == StartType::automatic; }, job_limit));
    EXPECT_TRUE(eventually([&] { return w.window_enabled() && w.checked(start_with_windows); }));
}

TEST_F(GeneralPage, TrayIconAtLogonWritesAndRemovesTheRunValue) {
    TestFolder folder;
    delete_user_value(run_key, run_value);
    SetupWindow w(folder, {"general"});
    ASSERT_TRUE(w.handle());
    EXPECT_FALSE(w.checked(tray_at_logon));

    w.click(tray_at_logon);
    ASSERT_TRUE(eventually([&] { return user_string(run_key, run_value).has_value(); }));
    std::string quoted_exe(1, '"');
    quoted_exe += app_exe();
    quoted_exe += '"';
    EXPECT_EQ(user_string(run_key, run_value), quoted_exe);
    EXPECT_TRUE(w.checked(tray_at_logon));

    // The label switches it off again.
    w.click(tray_at_logon + label_offset);
    ASSERT_TRUE(eventually([&] { return !user_string(run_key, run_value).has_value(); }));
    EXPECT_FALSE(w.checked(tray_at_logon));
    EXPECT_EQ(w.close(), 0u);

    // A value that points to another copy of the program still counts as on.
    set_user_string(run_key, run_value, "\"C:\\Old\\KeltaMySQL.exe\"");
    SetupWindow again(folder, {"general"});
    ASSERT_TRUE(again.handle());
    EXPECT_TRUE(again.checked(tray_at_logon));
}

TEST_F(GeneralPage, ChineseRebuildsTheWindowAndKeepsConnectionEdits) {
    TestFolder folder;
    SetupWindow w(folder, {"general"});
    ASSERT_TRUE(w.handle());
    EXPECT_EQ(w.list_items(language_list),
              (std::vector<std::string>{"Same as Windows", "English", "简体中文", "Français",
                                        "Español"}));
    w.paste(port_edit, "3399");
    ASSERT_TRUE(eventually([&] { return w.enabled(save_button); }));

    w.choose(language_list, 2);
    ASSERT_TRUE(eventually([&] { return w.title() == "KELTA Retail MySQL 1.1.1 - 设置"; }));
    EXPECT_EQ(user_string(program_key, "Language"), "zh");
    EXPECT_TRUE(eventually([&] { return w.text(about_line) == "KELTA Retail MySQL  版本 1.1.1"; }));
    EXPECT_EQ(w.text(open_error_log), "打开错误日志");
    EXPECT_EQ(w.list_selection(language_list), 2);
    EXPECT_EQ(w.focus(), w.control(language_list));
    EXPECT_EQ(w.text(port_edit), "3399");
    EXPECT_TRUE(eventually([&] { return w.enabled(save_button); }));
    w.screenshot("setup-general-chinese");

    // Closing now asks about the unsaved edits, in Chinese.
    PostMessageW(w.handle(), WM_CLOSE, 0, 0);
    auto question = wait_for_message_box(w.process_id());
    ASSERT_TRUE(question.has_value());
    EXPECT_EQ(question->text, "\"连接方式\"页有没保存的修改，要放弃吗？");
    question->answer(IDYES);
    EXPECT_EQ(w.process().wait(10s), 0u);
}

TEST_F(GeneralPage, OpenErrorLogAndLogFolder) {
    TestFolder folder;
    SetupWindow w(folder, {"general"});
    ASSERT_TRUE(w.handle());

    // The log folder is made when it is missing (gone after the window's start made it) and shown
    // in Explorer.
    delete_tree(folder.data_root());
    ASSERT_FALSE(exists(folder.data_root()));
    w.click(log_folder);
    EXPECT_TRUE(eventually([&] { return is_directory(folder.data_root()); }));
    auto explorer =
        wait_for_program_window([](const std::string& title) { return title == "MySQL"; });
    ASSERT_TRUE(explorer.has_value());
    close_program(*explorer);

    // Notepad, from the Windows folder, with the error log.
    e2e::write_file(folder.path("error.log"), "2026-03-01T18:45:02 [Note] mysqld: ready for "
                                              "connections.\r\n");
    w.click(open_error_log);
    auto notepad = wait_for_program_window([](const std::string& title) {
        return title.find("error.log") != std::string::npos &&
               title.find("Notepad") != std::string::npos;
    });
    ASSERT_TRUE(notepad.has_value());
    close_program(*notepad);
}

} // namespace
