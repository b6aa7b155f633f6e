#include "setup_in_process.h"

#include "setup_window.h"

#include "app/setup_program.h"
#include "base/text.h"
#include "i18n/language.h"
#include "jobs/jobs.h"
#include "setup/controls.h"
#include "setup/system_checks.h"

namespace e2e {

ConnectionSettings shop_settings() {
    ConnectionSettings settings;
    settings.password = "shop-password-1";
    settings.root_password = "root-password-0123456789";
    return settings;
}

void InProcessSetup::SetUp() {
    set_user_string(program_key, "Language", "en");
    detect_language();
    delete_user_value("Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                      "AppsUseLightTheme");
    clear_tool_state();
    remove_service("KeltaMySQL57");
    wchar_t saved[MAX_PATH] = {};
    GetEnvironmentVariableW(L"ProgramData", saved, MAX_PATH);
    saved_program_data_ = saved;
    SetEnvironmentVariableW(L"ProgramData", widen(folder_.program_data()).c_str());
    take_job_result();
}

void InProcessSetup::TearDown() {
    close();
    SetEnvironmentVariableW(L"ProgramData", saved_program_data_.c_str());
    detect_language();
}

void InProcessSetup::open(const ConnectionSettings& stored, std::uint8_t initial_page) {
    close();
    write_file(folder_.path("connection.ini"), render_settings(stored));
    state_ = std::make_unique<SetupUiState>();
    state_->current_page = initial_page;
    window_ = open_setup_window(*state_);
    ASSERT_NE(window_, nullptr);
    // The firewall and task checks answer from a thread of their own.
    ASSERT_TRUE(settles_to([&] { return state_->firewall_open.has_value(); }));
}

void InProcessSetup::close() {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
    wait_for_system_checks();
    settle();
}

void InProcessSetup::settle() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool InProcessSetup::settles_to(const std::function<bool()>& condition,
                                std::chrono::milliseconds limit) {
    return eventually(
        [&] {
            settle();
            return condition();
        },
        limit);
}

std::string InProcessSetup::text(int id) const {
    return get_text(window_, id);
}

void InProcessSetup::click(int id) {
    wchar_t class_name[16] = {};
    GetClassNameW(control(id), class_name, 16);
    if (_wcsicmp(class_name, L"Button") == 0)
        SendMessageW(control(id), BM_CLICK, 0, 0);
    else
        SendMessageW(window_, WM_COMMAND, MAKEWPARAM(id, STN_CLICKED),
                     reinterpret_cast<LPARAM>(control(id)));
    settle();
}

void InProcessSetup::type(int id, wchar_t character) {
    SendMessageW(control(id), WM_CHAR, character, 1);
    settle();
}

void InProcessSetup::paste(int id, const std::string& value) {
    SetWindowTextW(control(id), widen(value).c_str());
    settle();
}

void InProcessSetup::choose(int id, int index) {
    SendMessageW(control(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(window_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(control(id)));
    settle();
}

std::vector<std::string> InProcessSetup::list_items(int id) const {
    std::vector<std::string> items;
    HWND list = control(id);
    const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring units(static_cast<size_t>(SendMessageW(list, CB_GETLBTEXTLEN, i, 0)) + 1,
                           L'\0');
        const LRESULT copied =
            SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(units.data()));
        units.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
        items.push_back(narrow(units));
    }
    return items;
}

int InProcessSetup::list_selection(int id) const {
    return static_cast<int>(SendMessageW(control(id), CB_GETCURSEL, 0, 0));
}

int InProcessSetup::count_on_screen(int id, bool (*test)(DWORD)) {
    RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT area{};
    GetWindowRect(control(id), &area);
    int count = 0;
    for (DWORD p : screen_pixels(area))
        if (test(p)) ++count;
    return count;
}

} // namespace e2e
