#include "setup/frame.h"

#include "base/text.h"
#include "i18n/tr.h"
#include "setup/connection_page.h"
#include "setup/control_ids.h"
#include "setup/controls.h"
#include "setup/overview_page.h"
#include "setup/pages.h"
#include "tray/theme.h"

#include <cwchar>

namespace {
constexpr std::string_view trailing_zero = ".0";
constexpr std::wstring_view colour_theme_setting = L"ImmersiveColorSet";
constexpr std::size_t setting_units_read = 64;
} // namespace

std::string display_version(std::string_view version) {
    while (version.ends_with(trailing_zero))
        version.remove_suffix(trailing_zero.size());
    return std::string(version);
}

std::string window_title() {
    return std::string(program_caption) + " " + display_version() + " - " +
           std::string(tr("Setup", "设置"));
}

void create_fonts(SetupUiState& state) {
    state.fonts.reset();
    state.fonts = make_setup_fonts(state.scale);
}

void switch_page(HWND window, std::uint8_t new_page) {
    SetupUiState& state = setup_state(window);
    if (new_page == state.current_page) return;
    state.current_page = new_page;
    for (const ControlEntry& control : state.controls) {
        if (control.page == page::every) continue;
        ShowWindow(control.window, control.page == new_page ? SW_SHOW : SW_HIDE);
    }
    refresh_overview(window);
    InvalidateRect(window, nullptr, TRUE);
}

void set_status_line(HWND window, StatusKind kind, std::string_view text) {
    setup_state(window).status_kind = kind;
    HWND line = GetDlgItem(window, id::status_line);
    if (!line) return;
    SetWindowTextW(line, widen(text).c_str());
    InvalidateRect(line, nullptr, TRUE);
}

int window_message(HWND window, std::string_view text, UINT style) {
    return MessageBoxW(window, widen(text).c_str(), widen(program_caption).c_str(), style);
}

std::string_view first_line(std::string_view text) {
    std::string_view line = text.substr(0, text.find('\n'));
    if (line.ends_with('\r')) line.remove_suffix(1);
    return line;
}

bool is_colour_theme_change(const wchar_t* setting) {
    if (!setting) return false;
    const std::wstring_view text(setting, wcsnlen(setting, setting_units_read));
    return text == colour_theme_setting;
}

void apply_theme(HWND window) {
    SetupUiState& state = setup_state(window);
    read_theme(state);
    state.brushes.clear();
    allow_window_dark_mode(window, state.dark);
    set_window_dark(window, state.dark);
    for (const ControlEntry& control : state.controls) {
        apply_control_theme(control.window, control.kind, state.dark);
        SendMessageW(control.window, WM_THEMECHANGED, 0, 0);
    }
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

void rebuild_controls(HWND window) {
    SetupUiState& state = setup_state(window);
    const std::optional<ConnectionSettings> kept = unsaved_connection_edits(window);
    for (const ControlEntry& control : state.controls)
        DestroyWindow(control.window);
    state.controls.clear();
    create_fonts(state);
    create_controls(window);
    load_pages(window);
    // The kept edits go back into the fields over the stored values; the page stays dirty.
    if (kept) load_connection_page(window, *kept);
    SetWindowTextW(window, widen(window_title()).c_str());
    InvalidateRect(window, nullptr, TRUE);
    if (HWND language_list = GetDlgItem(window, id::language_list)) SetFocus(language_list);
}
