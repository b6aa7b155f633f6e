// The yardstick for the tray's idle cost: an empty program with the same kind of hidden
// top-level window, the same 2-second timer and the same message loop, doing nothing on a tick.
// WM_CLOSE ends it.
#include <windows.h>

namespace {

constexpr UINT_PTR tick_timer = 1;
constexpr UINT tick_ms = 2000;

LRESULT CALLBACK idle_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_TIMER:
        return 0;
    case WM_DESTROY:
        KillTimer(window, tick_timer);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    const WNDCLASSW window_class{.style = 0,
                                 .lpfnWndProc = idle_window_proc,
                                 .cbClsExtra = 0,
                                 .cbWndExtra = 0,
                                 .hInstance = instance,
                                 .hIcon = nullptr,
                                 .hCursor = nullptr,
                                 .hbrBackground = nullptr,
                                 .lpszMenuName = nullptr,
                                 .lpszClassName = L"KeltaIdleWnd"};
    RegisterClassW(&window_class);
    HWND window = CreateWindowExW(0, L"KeltaIdleWnd", L"KELTA idle yardstick", 0, 0, 0, 0, 0,
                                  nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    SetTimer(window, tick_timer, tick_ms, nullptr);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
