#include "app/tray_program.h"

#include "app/jobs.h"
#include "base/handles.h"
#include "svc/myini.h"
#include "svc/status.h"
#include "tray/icons.h"
#include "tray/notify.h"
#include "tray/state.h"
#include "tray/theme.h"
#include "tray/window.h"

#include <windows.h>

namespace {

constexpr wchar_t tray_mutex_name[] = L"KELTA.MySqlTray.SingleInstance";
constexpr int quit_polls = 30;
constexpr DWORD quit_poll_ms = 100;
constexpr DWORD quit_settle_ms = 300;
constexpr DWORD install_poll_ms = 100;

// The mutex lives in the session's own namespace, so each logged-on user has one tray. A failed
// CreateMutexW counts as no other instance: better two icons than none.
bool another_tray_runs(UniqueHandle& mutex) {
    mutex.reset(CreateMutexW(nullptr, FALSE, tray_mutex_name));
    return mutex && GetLastError() == ERROR_ALREADY_EXISTS;
}

HWND create_tray_window(HINSTANCE instance, TrayState& state) {
    const WNDCLASSW window_class{.style = 0,
                                 .lpfnWndProc = tray_window_proc,
                                 .cbClsExtra = 0,
                                 .cbWndExtra = 0,
                                 .hInstance = instance,
                                 .hIcon = nullptr,
                                 .hCursor = nullptr,
                                 .hbrBackground = nullptr,
                                 .lpszMenuName = nullptr,
                                 .lpszClassName = tray_window_class};
    RegisterClassW(&window_class);
    // An ordinary top-level window that is never shown, not a message-only one: only top-level
    // windows receive the shell's "TaskbarCreated" broadcast.
    return CreateWindowExW(0, tray_window_class, tray_window_title, 0, 0, 0, 0, 0, nullptr, nullptr,
                           instance, &state);
}

} // namespace

void run_tray_program() {
    UniqueHandle mutex; // held while the tray runs; the process ends right after
    if (another_tray_runs(mutex)) return;

    apply_app_dark_mode();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    TrayState state{.icons = build_tray_icons(instance),
                    .taskbar_created = RegisterWindowMessageW(L"TaskbarCreated"),
                    .port = configured_port(),
                    .state = service_status(),
                    .icon_added = false,
                    .first_add_done = false};

    const HWND window = create_tray_window(instance, state);
    if (!window) return;
    // An elevated tray would otherwise never hear the broadcast of an unelevated shell.
    ChangeWindowMessageFilterEx(window, state.taskbar_created, MSGFLT_ALLOW, nullptr);
    update_tray_icon(window, true);
    SetTimer(window, tray_refresh_timer, tray_refresh_period_ms, nullptr);

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // The icon is gone, but an install started from the menu may still run on its thread in
    // this process: ending now would cut it off between two steps (and leave init.sql with the
    // root password behind).
    while (install_busy.load() != 0)
        Sleep(install_poll_ms);
}

void quit_running_tray() {
    HWND tray = FindWindowW(tray_window_class, nullptr);
    if (!tray) return;
    PostMessageW(tray, WM_CLOSE, 0, 0);
    for (int i = 0; i < quit_polls && FindWindowW(tray_window_class, nullptr); ++i)
        Sleep(quit_poll_ms);
    Sleep(quit_settle_ms);
}
