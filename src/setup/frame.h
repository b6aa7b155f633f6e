#pragma once
// What the Setup window offers every page: its title, the status line, message boxes, fonts, the
// reaction to a Windows theme change, and opening the data folder.
#include "instance/product.h"
#include "setup/state.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr wchar_t setup_window_class[] = L"KeltaMySqlSetupWnd";
// Posted to itself after a language change: every control is created again in the new language
// once the language list's notification has returned.
inline constexpr UINT MSG_REBUILD_CONTROLS = WM_APP + 16;
// "KELTA Retail MySQL 1.1.1 - Setup", the last word translated.
std::string window_title();

// (Re)builds the five fonts of the record; old fonts are deleted first.
void create_fonts(SetupUiState& state);

void set_status_line(HWND window, StatusKind kind, std::string_view text);
// A message box owned by the Setup window with the program's caption; gives the button pressed.
int window_message(HWND window, std::string_view text, UINT style);

// The text of an error for the status line: up to its first line feed, without a CR before it.
std::string_view first_line(std::string_view text);

// WM_SETTINGCHANGE carries "ImmersiveColorSet" when the Windows colour theme changed; only the
// first 64 units of the text are looked at.
bool is_colour_theme_change(const wchar_t* setting);
// Reads the theme and accent again and recolours the frame and every control.
void apply_theme(HWND window);

// Creates the data folder when it is missing and opens it in Explorer (the Backup & restore
// page's Open folder, the General page's Log folder).
void open_data_folder();
