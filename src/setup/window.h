#pragma once
// The window procedure of the class "KeltaMySqlSetupWnd".
#include <windows.h>

inline constexpr UINT_PTR refresh_timer = 1;
inline constexpr UINT refresh_period_ms = 2000;

// Expects the window's SetupUiState as lpCreateParams of CreateWindowExW.
LRESULT CALLBACK setup_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
