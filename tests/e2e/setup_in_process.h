#pragma once
// A Setup window created inside the test process, so that a test reaches its state record, its
// fonts and its focus: English, the light theme, no service, no firewall rule, a ProgramData
// folder of the test's own with a connection.ini.
#include "harness.h"
#include "user_registry.h"

#include "config/settings.h"
#include "setup/state.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

// The settings the window starts from unless a test stores others.
ConnectionSettings shop_settings();

class InProcessSetup : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // (Re)opens the window on `initial_page` over these stored settings.
    void open(const ConnectionSettings& stored, std::uint8_t initial_page);
    void close();

    // Handles everything queued (job results, the rebuild after a language change).
    void settle();
    // Waits for a condition while the window keeps handling its messages.
    bool settles_to(const std::function<bool()>& condition,
                    std::chrono::milliseconds limit = std::chrono::seconds(20));

    HWND control(int id) const { return GetDlgItem(window_, id); }
    std::string text(int id) const;
    bool enabled(int id) const { return IsWindowEnabled(control(id)) != FALSE; }
    bool checked(int id) const { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }

    // A button as the mouse clicks it (a check box changes its state); a label as it tells
    // the window about its click.
    void click(int id);
    // A keystroke's character as the edit field receives it.
    void type(int id, wchar_t character);
    // A field's whole text replaced, past its own filter (ES_NUMBER), as a paste would.
    void paste(int id, const std::string& value);
    // An entry of a drop-down list chosen, and the list telling the window.
    void choose(int id, int index);
    std::vector<std::string> list_items(int id) const;
    int list_selection(int id) const;
    // Pixels of a control as the display shows them that pass `test`.
    int count_on_screen(int id, bool (*test)(DWORD));

    TestFolder folder_;
    SavedUserValue language_{program_key, "Language"};
    SavedUserValue theme_{"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                          "AppsUseLightTheme"};
    std::wstring saved_program_data_;
    std::unique_ptr<SetupUiState> state_;
    HWND window_ = nullptr;
};

} // namespace e2e
