#pragma once
// The tray program's hidden window: it owns the notification icon, its menu and balloons.
#include <windows.h>

inline constexpr wchar_t tray_window_class[] = L"KeltaMySqlTrayWnd";
inline constexpr wchar_t tray_window_title[] = L"KELTA MySQL Tray";
// Timer 1 drives the status refresh.
inline constexpr UINT_PTR tray_refresh_timer = 1;
inline constexpr UINT tray_refresh_period_ms = 2000;

LRESULT CALLBACK tray_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
