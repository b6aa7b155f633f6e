// The Connection, Backup & restore and General pages driven from inside: the window is created in
// the test process, so that the test reaches its state record, its fonts and its focus. The
// service is not installed here; the pages against a running server are in setup_*_page_test.
#include "setup_in_process.h"
#include "setup_window.h"

#include "app/setup_program.h"
#include "base/text.h"
#include "config/addresses.h"
#include "config/settings.h"
#include "i18n/language.h"
#include "jobs/jobs.h"
#include "setup/connection_page.h"
#include "setup/control_ids.h"
#include "setup/controls.h"
#include "setup/frame.h"
#include "setup/pages.h"

#include <gtest/gtest.h>

#include <future>

using namespace e2e;
using namespace std::chrono_literals;

namespace {

const std::string password_alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
const std::string port_message = "Port must be a number (1024 - 65535)";
const std::string saved_message =
    "Settings saved. The registers connect with the information on the Overview page.";

class SetupPages : public InProcessSetup {
  protected:
    void SetUp() override {
        InProcessSetup::SetUp();
        open(shop_settings(), page::connection);
    }

    bool save_offered() const { return enabled(id::save_button) && enabled(id::undo_button); }

    // Clicks Save and answers the firewall question that it asks.
    std::string save_answering(int answer) {
        auto question = std::async(std::launch::async, [&] {
            auto box = wait_for_message_box(GetCurrentProcessId(), 20s);
            if (box) box->answer(answer);
            return box ? box->text : std::string("(no question)");
        });
        EXPECT_TRUE(settles_to([&] { return enabled(id::save_button); }));
        click(id::save_button);
        return question.get();
    }
};

TEST_F(SetupPages, TypingAndDeletingAgainLeavesThePageClean) {
    EXPECT_EQ(text(id::port_edit), "3307");
    EXPECT_FALSE(save_offered());
    type(id::port_edit, L'5');
    EXPECT_NE(text(id::port_edit), "3307");
    EXPECT_TRUE(save_offered());
    type(id::port_edit, VK_BACK);
    EXPECT_EQ(text(id::port_edit), "3307");
    EXPECT_FALSE(save_offered());

    // The same for the other fields, the firewall box and its label.
    type(id::host_edit, L'x');
    EXPECT_TRUE(save_offered());
    type(id::host_edit, VK_BACK);
    EXPECT_FALSE(save_offered());
    click(id::firewall_box + id::checkbox_label_offset);
    EXPECT_TRUE(checked(id::firewall_box));
    EXPECT_TRUE(save_offered());
    click(id::firewall_box + id::checkbox_label_offset);
    EXPECT_FALSE(save_offered());
    // Blanks around a value are no change: the fields are read trimmed.
    paste(id::user_edit, " kelta_retail\t");
    EXPECT_FALSE(save_offered());

    // Undo puts the stored values back and empties the status line.
    paste(id::database_edit, "other_db");
    EXPECT_TRUE(save_offered());
    set_status_line(window_, StatusKind::error, "old message");
    click(id::undo_button);
    EXPECT_EQ(text(id::database_edit), "kelta_retail");
    EXPECT_FALSE(save_offered());
    EXPECT_EQ(text(id::status_line), "");
}

TEST_F(SetupPages, PortMustBeANumberBeforeAnyOtherRule) {
    // A plus sign before the number is accepted: the next rule (the short password) speaks.
    paste(id::port_edit, "+3307");
    paste(id::password_edit, "short");
    EXPECT_EQ(read_connection_page(window_).port, 3307);
    click(id::save_button);
    EXPECT_EQ(text(id::validation_message),
              "Password: 8-64 characters, no spaces, quotes or backslashes");

    // Pasted past the digits-only filter, empty or too big: the port message and the field.
    for (const std::string refused : {"3,307", "", "70000", "+", "33 07"}) {
        SetFocus(control(id::database_edit));
        paste(id::port_edit, refused);
        click(id::save_button);
        EXPECT_EQ(text(id::validation_message), port_message) << refused;
        EXPECT_EQ(GetFocus(), control(id::port_edit)) << refused;
        EXPECT_EQ(text(id::port_edit), refused); // a refused Save keeps what was entered
    }
    EXPECT_GT(count_on_screen(id::validation_message, reddish), 20)
        << "the validation message is drawn in the error colour";

    // Any edit takes the message away again.
    type(id::port_edit, L'1');
    EXPECT_EQ(text(id::validation_message), "");

    // 80 is a number: the settings rule refuses it, and the focus stays on Save.
    paste(id::port_edit, "80");
    click(id::save_button);
    EXPECT_EQ(text(id::validation_message), "Port must be 1024 - 65535");
    EXPECT_EQ(GetFocus(), control(id::save_button));
    EXPECT_FALSE(state_->busy);
}

TEST_F(SetupPages, GenerateShowsTheNewPasswordAndMakesPasswordsVisible) {
    ASSERT_FALSE(state_->password_visible);
    EXPECT_EQ(SendMessageW(control(id::password_edit), EM_GETPASSWORDCHAR, 0, 0), 0x25CF);
    click(id::generate_password);
    const std::string password = text(id::password_edit);
    EXPECT_EQ(password.size(), 16u);
    EXPECT_EQ(password.find_first_not_of(password_alphabet), std::string::npos) << password;
    EXPECT_NE(password, "shop-password-1");
    EXPECT_TRUE(state_->password_visible);
    EXPECT_EQ(SendMessageW(control(id::password_edit), EM_GETPASSWORDCHAR, 0, 0), 0);
    EXPECT_EQ(text(id::show_password_connection), "Hide");
    EXPECT_EQ(text(id::show_password_overview), "Hide");
    // The Overview shows what the registers connect with until Save: the stored password, now
    // in plain text too.
    EXPECT_EQ(text(id::password_field), "shop-password-1");
    EXPECT_TRUE(save_offered());

    // A second one differs, and the passwords stay visible.
    click(id::generate_password);
    EXPECT_NE(text(id::password_edit), password);
    EXPECT_TRUE(state_->password_visible);

    // Hide on this page hides both.
    click(id::show_password_connection);
    EXPECT_EQ(text(id::show_password_overview), "Show");
    EXPECT_EQ(SendMessageW(control(id::password_edit), EM_GETPASSWORDCHAR, 0, 0), 0x25CF);
}

TEST_F(SetupPages, AStoredAddressThisComputerLacksIsListedLastAndSelected) {
    ConnectionSettings stored = shop_settings();
    stored.bind = "10.254.254.254";
    open(stored, page::connection);
    const auto items = list_items(id::server_ip_list);
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items.front(), "0.0.0.0  (all network cards)");
    EXPECT_EQ(items.back(), "10.254.254.254  (not found on this computer)");
    EXPECT_EQ(list_selection(id::server_ip_list), static_cast<int>(items.size() - 1));
    EXPECT_EQ(state_->server_ip_values.back(), "10.254.254.254");
    EXPECT_FALSE(save_offered());

    // Saving it is refused by the address rule.
    paste(id::user_edit, "till");
    click(id::save_button);
    EXPECT_EQ(text(id::validation_message), "Server IP 10.254.254.254 is not an address of this "
                                            "computer (use 0.0.0.0 for all network cards)");

    // Choosing all network cards is a change; choosing the stored address again is none.
    paste(id::user_edit, "kelta_retail");
    choose(id::server_ip_list, 0);
    EXPECT_EQ(read_connection_page(window_).bind, "0.0.0.0");
    EXPECT_TRUE(save_offered());
    choose(id::server_ip_list, static_cast<int>(items.size() - 1));
    EXPECT_FALSE(save_offered());
}

TEST_F(SetupPages, ThisComputersAddressesAreTheChoices) {
    const auto items = list_items(id::server_ip_list);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.front(), "0.0.0.0  (all network cards)");
    EXPECT_EQ(list_selection(id::server_ip_list), 0);
    std::vector<std::string> expected = {"0.0.0.0"};
    for (const Ipv4& address : local_ipv4_addresses())
        expected.push_back(ipv4_text(address));
    EXPECT_EQ(state_->server_ip_values, expected);
    for (size_t i = 1; i < items.size(); ++i)
        EXPECT_EQ(items[i], expected[i]);
}

TEST_F(SetupPages, UntickedFirewallBoxAsksAndNoSavesWithThePortClosed) {
    // No rule in Windows Firewall: the box loads unticked and the page is clean.
    EXPECT_FALSE(checked(id::firewall_box));
    EXPECT_FALSE(save_offered());
    paste(id::user_edit, "till");
    const std::string question = save_answering(IDNO);
    EXPECT_EQ(question, "Windows Firewall will block port 3307, so the other registers cannot "
                        "connect to this database.\n\nOpen the port in Windows Firewall now?");
    ASSERT_TRUE(settles_to([&] { return text(id::status_line) == saved_message; }));
    auto stored = read_settings_file(folder_.path("connection.ini"));
    ASSERT_TRUE(stored.has_value()) << stored.error();
    EXPECT_EQ(stored->user, "till");
    EXPECT_FALSE(stored->firewall);
    EXPECT_EQ(stored->root_password, "root-password-0123456789");
    // The saved values are the new baseline.
    EXPECT_FALSE(save_offered());
    EXPECT_EQ(text(id::user_field), "till");

    // Yes ticks the box and saves with the port to be opened.
    paste(id::user_edit, "till2");
    save_answering(IDYES);
    EXPECT_TRUE(checked(id::firewall_box));
    ASSERT_TRUE(settles_to([&] { return text(id::status_line) == saved_message; }));
    stored = read_settings_file(folder_.path("connection.ini"));
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->user, "till2");
    EXPECT_TRUE(stored->firewall);
}

TEST_F(SetupPages, LanguageChangeRebuildsTheWindowAndKeepsUnsavedEdits) {
    switch_page(window_, page::general);
    EXPECT_EQ(list_items(id::language_list),
              (std::vector<std::string>{"Same as Windows", "English", "简体中文", "Français",
                                        "Español"}));
    EXPECT_EQ(list_selection(id::language_list), 1);
    paste(id::port_edit, "3399");
    paste(id::user_edit, "till");
    click(id::firewall_box);
    click(id::show_password_connection);
    paste(id::backups_kept_edit, "3");
    ASSERT_TRUE(save_offered());

    choose(id::language_list, 2);
    EXPECT_EQ(user_string(program_key, "Language"), "zh");
    EXPECT_EQ(state_->current_page, page::general);
    EXPECT_EQ(text(id::language_heading), "语言");
    EXPECT_EQ(text(id::save_button), "保存");
    EXPECT_EQ(text(id::about_line), "KELTA Retail MySQL  版本 1.1.1");
    wchar_t title[128] = {};
    GetWindowTextW(window_, title, 128);
    EXPECT_EQ(narrow(title), "KELTA Retail MySQL 1.1.1 - 设置");
    for (int id : {id::language_heading, id::save_button, id::port_edit}) {
        LOGFONTW face{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control(id), WM_GETFONT, 0, 0)),
                   sizeof face, &face);
        EXPECT_STREQ(face.lfFaceName, L"Microsoft YaHei UI") << id;
    }
    EXPECT_EQ(GetFocus(), control(id::language_list));
    EXPECT_EQ(list_selection(id::language_list), 2);
    EXPECT_TRUE(IsWindowVisible(control(id::language_list)));
    EXPECT_FALSE(IsWindowVisible(control(id::port_edit)));

    // The Connection edits survive, still unsaved, the password still shown; so do the
    // automatic backup card's.
    EXPECT_EQ(text(id::backups_kept_edit), "3");
    EXPECT_TRUE(IsWindowEnabled(control(id::automatic_save)));
    EXPECT_EQ(text(id::port_edit), "3399");
    EXPECT_EQ(text(id::user_edit), "till");
    EXPECT_TRUE(checked(id::firewall_box));
    EXPECT_EQ(text(id::password_edit), "shop-password-1");
    EXPECT_EQ(SendMessageW(control(id::password_edit), EM_GETPASSWORDCHAR, 0, 0), 0);
    EXPECT_EQ(text(id::show_password_connection), "隐藏");
    EXPECT_TRUE(settles_to([&] { return save_offered(); }));

    // "Same as Windows" is stored as auto and follows the Windows display language (English
    // on the bench).
    choose(id::language_list, 0);
    EXPECT_EQ(user_string(program_key, "Language"), "auto");
    EXPECT_EQ(text(id::language_heading), "Language");
    EXPECT_EQ(list_selection(id::language_list), 0);
    EXPECT_EQ(text(id::user_edit), "till");

    // Without unsaved edits the rebuilt page shows the stored values.
    click(id::undo_button);
    choose(id::language_list, 3);
    EXPECT_EQ(text(id::language_heading), "Langue");
    EXPECT_EQ(text(id::user_edit), "kelta_retail");
    EXPECT_FALSE(save_offered());
}

TEST_F(SetupPages, AnUnknownStoredLanguageSelectsNothing) {
    set_user_string(program_key, "Language", "de");
    open(shop_settings(), page::connection);
    EXPECT_EQ(list_selection(id::language_list), CB_ERR);
}

TEST_F(SetupPages, StartTypeBoxIsDisabledWithoutTheService) {
    EXPECT_FALSE(enabled(id::start_with_windows_box));
    EXPECT_FALSE(enabled(id::start_with_windows_box + id::checkbox_label_offset));
    EXPECT_FALSE(checked(id::start_with_windows_box));
    // A click on the label of the disabled box does nothing.
    click(id::start_with_windows_box + id::checkbox_label_offset);
    EXPECT_FALSE(checked(id::start_with_windows_box));
    EXPECT_FALSE(state_->busy);
    EXPECT_FALSE(take_job_result().has_value());
}

TEST_F(SetupPages, BackupButtonsNeedARunningServer) {
    EXPECT_FALSE(enabled(id::backup_now));
    EXPECT_FALSE(enabled(id::restore_from_backup));
    EXPECT_TRUE(enabled(id::open_safety_backups));
    EXPECT_TRUE(enabled(id::open_data_folder));
    EXPECT_EQ(text(id::data_location), folder_.data_root());
}

} // namespace
