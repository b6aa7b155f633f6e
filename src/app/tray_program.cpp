#include "app/tray_program.h"

#include <windows.h>

namespace {
constexpr wchar_t tray_window_class[] = L"KeltaMySqlTrayWnd";
}

void run_tray_program() {}

void quit_running_tray() {
    HWND tray = FindWindowW(tray_window_class, nullptr);
    if (!tray) return;
    PostMessageW(tray, WM_CLOSE, 0, 0);
    for (int i = 0; i < 30 && FindWindowW(tray_window_class, nullptr); ++i) Sleep(100);
    Sleep(300);
}
