#pragma once
// What the Setup window offers every page: its title, page switching, the status line, message
// boxes, fonts, the reaction to a Windows theme change and the rebuild after a language change.
#include "setup/state.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr wchar_t setup_window_class[] = L"KeltaMySqlSetupWnd";
inline constexpr char program_caption[] = "KELTA Retail MySQL";
inline constexpr std::string_view program_version = KELTA_VERSION;

// The version with every trailing ".0" component removed: "1.1.1", never "1.1.1.0".
std::string display_version(std::string_view version = program_version);
// "KELTA Retail MySQL 1.1.1 - Setup", the last word translated.
std::string window_title();

// (Re)builds the five fonts of the record; old fonts are deleted first.
void create_fonts(SetupUiState& state);

void switch_page(HWND window, std::uint8_t page);
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
// After a language change: every control is created again in the new language, unsaved
// Connection edits survive.
void rebuild_controls(HWND window);
