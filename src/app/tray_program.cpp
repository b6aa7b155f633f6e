#include "app/tray_program.h"

#include "app/quit_signal.h"
#include "base/handles.h"
#include "jobs/jobs.h"
#include "svc/install.h"
#include "svc/myini.h"
#include "svc/status.h"
#include "tray/backup_watch.h"
#include "tray/icons.h"
#include "tray/notify.h"
#include "tray/state.h"
#include "tray/window.h"
#include "ui/theme.h"

#include <windows.h>

#include <chrono>
#include <string>

namespace {

constexpr wchar_t tray_mutex_name[] = L"KELTA.MySqlTray.SingleInstance";
constexpr int quit_polls = 30;
constexpr DWORD quit_poll_ms = 100;
constexpr DWORD install_poll_ms = 100;
// How long a tray whose window has gone may take to end when no install keeps it.
constexpr std::chrono::seconds tray_exit_limit{5};

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

// A named object of this session exists while a process holds it. One created by an elevated
// process may refuse us access, and exists all the same.
bool named_mutex_exists(const wchar_t* name) {
    UniqueHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, name));
    return mutex || GetLastError() == ERROR_ACCESS_DENIED;
}

// The tray's mutex goes with its process, which after the window may still finish an install:
// while the install runs, within its own limits, the wait goes on.
Result<void> wait_for_tray_exit() {
    using namespace std::chrono;
    const auto start = steady_clock::now();
    auto deadline = start + tray_exit_limit;
    while (named_mutex_exists(tray_mutex_name)) {
        const auto now = steady_clock::now();
        if (named_mutex_exists(tray_install_mutex_name) && now - start < install_time_limit())
            deadline = now + tray_exit_limit;
        if (now >= deadline)
            return fail("the tray program is still running after " +
                        std::to_string(duration_cast<seconds>(now - start).count()) + " s");
        Sleep(quit_poll_ms);
    }
    return {};
}

} // namespace

void run_tray_program(const ElevationHooks& elevation) {
    UniqueHandle mutex; // held while the tray runs; the process ends right after
    if (another_tray_runs(mutex)) return;

    apply_app_dark_mode();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    TrayState state{.icons = build_tray_icons(instance),
                    .taskbar_created = RegisterWindowMessageW(L"TaskbarCreated"),
                    .port = configured_port(),
                    .state = service_status(),
                    .icon_added = false,
                    .first_add_done = false,
                    .elevation = elevation};

    const HWND window = create_tray_window(instance, state);
    if (!window) return;
    // An elevated tray would otherwise never hear the broadcast of an unelevated shell.
    ChangeWindowMessageFilterEx(window, state.taskbar_created, MSGFLT_ALLOW, nullptr);
    update_tray_icon(window, true);
    SetTimer(window, tray_refresh_timer, tray_refresh_period_ms, nullptr);
    const QuitWatch quit = watch_for_quit(window);

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
    wait_for_backup_task_checks();
}

Result<void> quit_running_tray() {
    if (HWND tray = FindWindowW(tray_window_class, nullptr)) {
        PostMessageW(tray, WM_CLOSE, 0, 0);
        for (int i = 0; i < quit_polls && FindWindowW(tray_window_class, nullptr); ++i)
            Sleep(quit_poll_ms);
    }
    // An uninstaller replaces the program's files once this returns: the window going is not
    // enough, the process must be gone too.
    return wait_for_tray_exit();
}
