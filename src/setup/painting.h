#pragma once
// The Setup window's own drawing: background, navigation column, page title, cards and status
// dot in one memory bitmap, and the owner-drawn Install / Uninstall service button.
#include <windows.h>

// WM_ERASEBKGND: the whole frame, double-buffered, copied to `dc` with one BitBlt.
void paint_frame(HWND window, HDC dc);

// WM_DRAWITEM for control 239.
void draw_install_button(HWND window, const DRAWITEMSTRUCT& item);
