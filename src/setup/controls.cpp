#include "setup/controls.h"

#include "base/text.h"
#include "setup/control_ids.h"
#include "setup/geometry.h"
#include "ui/theme.h"

#include <uxtheme.h>

#include <algorithm>

namespace {

constexpr int checkbox_x = 256;
constexpr int checkbox_width = 18;
constexpr int checkbox_height = 24;
constexpr int checkbox_label_x = 280;
constexpr int checkbox_label_drop = 3;
constexpr int checkbox_label_width = 464;
constexpr int checkbox_label_height = 20;

constexpr int section_headings[] = {
    id::connection_heading,    id::backup_heading,  id::restore_heading,
    id::data_location_heading, id::startup_heading, id::language_heading,
    id::logs_heading,          id::about_heading,   id::about_line,
    id::automatic_heading};

HFONT font_for(const SetupFonts& fonts, int control_id) {
    if (control_id == id::status_text) return fonts.status.get();
    if (std::ranges::find(section_headings, control_id) != std::end(section_headings))
        return fonts.section.get();
    return fonts.body.get();
}

} // namespace

HWND create_control(HWND window, const ControlSpec& spec) {
    SetupUiState& state = setup_state(window);
    DWORD style = spec.style | WS_CHILD;
    if (state.page_being_built == state.current_page || state.page_being_built == page::every)
        style |= WS_VISIBLE;
    const float s = state.scale;
    HWND control = CreateWindowExW(
        spec.extended_style, spec.class_name, widen(spec.text).c_str(), style, px(s, spec.place.x),
        px(s, spec.place.y), px(s, spec.place.width), px(s, spec.place.height), window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), GetModuleHandleW(nullptr), nullptr);
    if (!control) return nullptr;
    if (state.fonts)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_for(*state.fonts, spec.id)),
                     TRUE);
    apply_control_theme(control, spec.kind, state.dark);
    state.controls.push_back({control, spec.kind, state.page_being_built});
    return control;
}

HWND create_button(HWND window, int control_id, std::string_view text, ControlPlace place) {
    return create_control(window, {.class_name = button_class,
                                   .text = text,
                                   .style = WS_TABSTOP,
                                   .place = place,
                                   .id = control_id,
                                   .kind = ControlKind::button});
}

HWND create_label(HWND window, int control_id, std::string_view text, ControlPlace place) {
    return create_text(window, control_id, text, place, SS_ENDELLIPSIS);
}

HWND create_text(HWND window, int control_id, std::string_view text, ControlPlace place,
                 DWORD extra_style) {
    return create_control(window, {.class_name = static_class,
                                   .text = text,
                                   .style = SS_NOPREFIX | extra_style,
                                   .place = place,
                                   .id = control_id});
}

void create_checkbox(HWND window, int box_id, std::string_view text, int y) {
    create_control(window, {.class_name = button_class,
                            .style = BS_AUTOCHECKBOX | WS_TABSTOP,
                            .place = {checkbox_x, y, checkbox_width, checkbox_height},
                            .id = box_id,
                            .kind = ControlKind::button});
    create_control(window, {.class_name = static_class,
                            .text = text,
                            .style = SS_NOTIFY | SS_ENDELLIPSIS,
                            .place = {checkbox_label_x, y + checkbox_label_drop,
                                      checkbox_label_width, checkbox_label_height},
                            .id = box_id + id::checkbox_label_offset,
                            .kind = ControlKind::static_text});
}

void apply_control_theme(HWND control, ControlKind kind, bool dark) {
    allow_window_dark_mode(control, dark);
    switch (kind) {
    case ControlKind::button:
        SetWindowTheme(control, dark ? L"DarkMode_Explorer" : L"Explorer", nullptr);
        break;
    case ControlKind::edit:
    case ControlKind::combo:
        SetWindowTheme(control, dark ? L"DarkMode_CFD" : nullptr, nullptr);
        break;
    case ControlKind::static_text:
        SetWindowTheme(control, nullptr, nullptr);
        break;
    }
}

std::string get_text(HWND window, int control_id) {
    HWND control = GetDlgItem(window, control_id);
    if (!control) return {};
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    int copied = GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return std::string(trim(narrow(text)));
}

void set_text(HWND window, int control_id, std::string_view text) {
    if (get_text(window, control_id) == text) return;
    if (HWND control = GetDlgItem(window, control_id)) SetWindowTextW(control, widen(text).c_str());
}

// Both skip a control already in the wanted state: under Wine every ShowWindow and EnableWindow
// is a trip to the window server, and the refresh asks for each every two seconds.
void show_control(HWND window, int control_id, bool shown) {
    HWND control = GetDlgItem(window, control_id);
    // The control's own flag: IsWindowVisible would also ask its parent.
    if (!control || ((GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0) == shown) return;
    ShowWindow(control, shown ? SW_SHOW : SW_HIDE);
}

void enable_control(HWND window, int control_id, bool enabled) {
    HWND control = GetDlgItem(window, control_id);
    if (!control || (IsWindowEnabled(control) != FALSE) == enabled) return;
    EnableWindow(control, enabled ? TRUE : FALSE);
}

void repaint_control(HWND window, int control_id) {
    // A missing control must not become InvalidateRect(nullptr): that repaints the whole desktop.
    if (HWND control = GetDlgItem(window, control_id)) InvalidateRect(control, nullptr, TRUE);
}

HBRUSH background_brush(SetupUiState& state, COLORREF colour) {
    for (const auto& [known, brush] : state.brushes)
        if (known == colour) return brush.get();
    state.brushes.emplace_back(colour, UniqueBrush(CreateSolidBrush(colour)));
    return state.brushes.back().second.get();
}

LRESULT control_colours(HWND window, HDC dc, HWND control, bool field) {
    SetupUiState& state = setup_state(window);
    const int control_id = GetDlgCtrlID(control);
    // The time picker draws its digits in the system's window text colour whatever the theme: its
    // field stays light under them, or dark digits would stand on a dark field.
    if (control_id == id::backup_time_picker) {
        const COLORREF light = light_palette()[field_background];
        SetBkColor(dc, light);
        return reinterpret_cast<LRESULT>(background_brush(state, light));
    }
    PaletteEntry text = control_text_entry(control_id, state.firewall_open, state.status_kind);
    // Each of the Overview's status lines has the colour of what it says.
    if (const int slot = control_id - id::overview_note_first;
        slot >= 0 && slot < id::overview_note_slots)
        text = state.note_colours[static_cast<std::size_t>(slot)];
    if (control_id == id::restore_hint && state.interrupted_restore) text = error_colour;
    if (control_id == id::automatic_result) text = state.automatic_result_colour;
    SetTextColor(dc, state.colour(text));
    const COLORREF background = state.colour(control_background_entry(control_id, field));
    SetBkColor(dc, background);
    return reinterpret_cast<LRESULT>(background_brush(state, background));
}
