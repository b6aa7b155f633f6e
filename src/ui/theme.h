#pragma once
// The Windows app theme (light or dark), the accent colour and the dark-mode switches of menus
// and window frames. Every operation degrades silently to the light theme and plain frames.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string_view>

// Undocumented uxtheme.dll exports, reached by ordinal.
inline constexpr WORD uxtheme_allow_dark_mode_for_window = 133; // (HWND, bool)
inline constexpr WORD uxtheme_set_preferred_app_mode = 135;     // (int); 1 = allow dark
inline constexpr WORD uxtheme_flush_menu_themes = 136;          // ()

// The export of uxtheme.dll with that ordinal, or nothing (no DLL, no such export). The DLL is
// loaded once per process and never freed.
FARPROC uxtheme_function(WORD ordinal);

// Lets the whole process use dark menus when the theme asks for them.
void apply_app_dark_mode();

// Allows or forbids dark mode for one window (its menus and frame), when Windows offers it.
void allow_window_dark_mode(HWND window, bool dark);

// A REG_DWORD under HKEY_CURRENT_USER, or nothing when it cannot be read.
std::optional<std::uint32_t> read_user_dword(std::string_view subkey, std::string_view name);

// Dark exactly when "AppsUseLightTheme" exists and is 0.
bool is_dark_theme();

// The Windows accent colour as 0x00BBGGRR; 0xC06700 when it cannot be read.
COLORREF accent_color();

// Dark or light title bar, and the main-window backdrop.
void set_window_dark(HWND window, bool dark);
