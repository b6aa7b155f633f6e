#pragma once
// The standard child controls of the Setup window: creation in logical units on the page being
// built, their fonts, their light or dark visual theme, and their texts.
#include "setup/state.h"

#include <windows.h>

#include <string>
#include <string_view>

inline constexpr wchar_t button_class[] = L"BUTTON";
inline constexpr wchar_t static_class[] = L"STATIC";
inline constexpr wchar_t edit_class[] = L"EDIT";
inline constexpr wchar_t combo_class[] = L"COMBOBOX";

// What a hidden password shows for each character, on the Overview and the Connection page.
inline constexpr wchar_t password_bullet = L'\u25CF';

// Where a control goes, in logical units.
struct ControlPlace {
    int x, y, width, height;
};

struct ControlSpec {
    const wchar_t* class_name;
    std::string_view text;
    DWORD style = 0; // besides WS_CHILD, and WS_VISIBLE when its page is on show
    DWORD extended_style = 0;
    ControlPlace place{};
    int id = 0;
    ControlKind kind = ControlKind::static_text;
};

// Creates the control on page_being_built and records it in the controls list.
HWND create_control(HWND window, const ControlSpec& spec);

// A push button (WS_TABSTOP).
HWND create_button(HWND window, int id, std::string_view text, ControlPlace place);
// A one-line label (SS_NOPREFIX, SS_ENDELLIPSIS).
HWND create_label(HWND window, int id, std::string_view text, ControlPlace place);
// A static text (SS_NOPREFIX) that wraps, or shortens a path in its middle with SS_PATHELLIPSIS.
HWND create_text(HWND window, int id, std::string_view text, ControlPlace place,
                 DWORD extra_style = 0);

// A check box at (256, y) and its separate label (identifier + 100) at (280, y + 3), so that the
// label text takes the palette colours.
void create_checkbox(HWND window, int id, std::string_view text, int y);

// The visual theme of a control for its kind in the light or dark theme.
void apply_control_theme(HWND control, ControlKind kind, bool dark);

// The control's text without white space at both ends.
std::string get_text(HWND window, int id);
// Sets the text only when it differs, so that unchanged fields neither flicker nor lose their
// caret.
void set_text(HWND window, int id, std::string_view text);

void show_control(HWND window, int id, bool shown);
void enable_control(HWND window, int id, bool enabled);
// Has the control drawn again (its colours may have changed).
void repaint_control(HWND window, int id);

// WM_CTLCOLOR*: sets the text and background colours and gives the background brush.
LRESULT control_colours(HWND window, HDC dc, HWND control, bool field);
// One solid brush per background colour, kept until the theme changes.
HBRUSH background_brush(SetupUiState& state, COLORREF colour);
