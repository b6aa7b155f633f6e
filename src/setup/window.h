#pragma once
// The window procedure of the class "KeltaMySqlSetupWnd".
#include <windows.h>

inline constexpr UINT_PTR refresh_timer = 1;
inline constexpr UINT refresh_period_ms = 2000;
// Posted to itself after a language change: every control is created again in the new language
// once the language list's notification has returned.
inline constexpr UINT MSG_REBUILD_CONTROLS = WM_APP + 16;

// Expects the window's SetupUiState as lpCreateParams of CreateWindowExW.
LRESULT CALLBACK setup_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
