#include "setup/frame.h"

#include "base/files.h"
#include "base/text.h"
#include "i18n/tr.h"
#include "instance/paths.h"
#include "setup/control_ids.h"
#include "setup/controls.h"
#include "ui/shell_open.h"
#include "ui/theme.h"

#include <cwchar>

namespace {
constexpr std::wstring_view colour_theme_setting = L"ImmersiveColorSet";
constexpr std::size_t setting_units_read = 64;
} // namespace

std::string window_title() {
    return std::string(program_caption) + " " + display_version() + " - " +
           std::string(tr("Setup", "设置"));
}

void create_fonts(SetupUiState& state) {
    state.fonts.reset();
    state.fonts = make_setup_fonts(state.scale);
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

void open_data_folder() {
    const std::string folder = data_root();
    (void)create_directories(folder);
    shell_open(folder);
}
