#include "tray/window.h"

#include "jobs/jobs.h"
#include "tray/menu.h"
#include "tray/notify.h"
#include "tray/state.h"

#include <exception>

namespace {

LRESULT on_icon_callback(HWND window, LPARAM lparam) {
    switch (LOWORD(lparam)) {
    case WM_LBUTTONDBLCLK:
        start_open_setup_job(tray_state(window).elevation);
        break;
    case WM_RBUTTONUP:
        show_tray_menu(window);
        break;
    case WM_MOUSEMOVE:
        refresh_tray_clients(window);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT on_refresh(HWND window) {
    refresh_tray(window);
    // A balloon that found no icon to come from waits in the queue for the next tick.
    show_queued_balloons(window);
    return 0;
}

LRESULT on_notify(HWND window) {
    show_queued_balloons(window);
    return 0;
}

LRESULT on_taskbar_created(HWND window) {
    // The shell started again and has forgotten the icon.
    update_tray_icon(window, true);
    return 0;
}

LRESULT on_destroy(HWND window) {
    KillTimer(window, tray_refresh_timer);
    remove_tray_icon(window);
    release_tray_state(window);
    PostQuitMessage(0);
    return 0;
}

bool is_taskbar_created(HWND window, UINT message) {
    const TrayState* state = find_tray_state(window);
    return state && state->taskbar_created != 0 && message == state->taskbar_created;
}

LRESULT dispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_NCCREATE:
        attach_tray_state(window, *reinterpret_cast<const CREATESTRUCTW*>(lparam));
        break;
    case WM_TIMER:
    case MSG_TRAY_REFRESH:
        return on_refresh(window);
    case MSG_TRAY_CALLBACK:
        return on_icon_callback(window, lparam);
    case MSG_TRAY_NOTIFY:
        return on_notify(window);
    case WM_DESTROY:
        return on_destroy(window);
    default:
        if (is_taskbar_created(window, message)) return on_taskbar_created(window);
        break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

} // namespace

LRESULT CALLBACK tray_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    // No exception may cross into the window manager: it would unwind through Windows' frames.
    try {
        return dispatch(window, message, wparam, lparam);
    } catch (const std::exception&) {
        return 0;
    }
}
