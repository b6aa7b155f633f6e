#include "setup/window.h"

#include "i18n/tr.h"
#include "jobs/jobs.h"
#include "setup/busy.h"
#include "setup/clients_watch.h"
#include "setup/connection_page.h"
#include "setup/control_ids.h"
#include "setup/controls.h"
#include "setup/frame.h"
#include "setup/geometry.h"
#include "setup/pages.h"
#include "setup/painting.h"
#include "setup/state.h"
#include "setup/system_checks.h"

#include <windowsx.h>

namespace {

constexpr WORD click_code = 0; // BN_CLICKED, STN_CLICKED, and the Escape key's IDCANCEL

LRESULT on_create(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    attach_state(window, static_cast<SetupUiState*>(create->lpCreateParams));
    return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT on_paint(HWND window) {
    PAINTSTRUCT paint{};
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return 0;
}

LRESULT on_erase_background(HWND window, WPARAM wparam) {
    paint_frame(window, reinterpret_cast<HDC>(wparam));
    return 1;
}

void on_close(HWND window) {
    if (setup_state(window).busy) return;
    if (unsaved_connection_edits(window)) {
        int answer =
            window_message(window,
                           tr("You have unsaved changes on the Connection page. Discard them?",
                              "\"连接方式\"页有没保存的修改，要放弃吗？"),
                           MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
        if (answer != IDYES) {
            switch_page(window, page::connection);
            return;
        }
    }
    DestroyWindow(window);
}

void on_setting_change(HWND window, LPARAM lparam) {
    if (is_colour_theme_change(reinterpret_cast<const wchar_t*>(lparam))) apply_theme(window);
}

LRESULT on_draw_item(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
    if (item->CtlID != static_cast<UINT>(id::install_button))
        return DefWindowProcW(window, message, wparam, lparam);
    draw_install_button(window, *item);
    return TRUE;
}

void on_command(HWND window, WPARAM wparam) {
    const int control_id = LOWORD(wparam);
    const WORD code = HIWORD(wparam);
    if (code == click_code)
        handle_command(window, control_id);
    else
        handle_notification(window, control_id, code);
}

// Notifications that come as WM_NOTIFY (the time picker's change) take the way of the others.
LRESULT on_notify(HWND window, LPARAM lparam) {
    const auto* header = reinterpret_cast<const NMHDR*>(lparam);
    handle_notification(window, static_cast<int>(header->idFrom), static_cast<int>(header->code));
    return 0;
}

// The connected computers are read with every refresh, and first once the window has painted
// (the checks' timer), so that the first paint never waits for the thread that reads them.
void on_timer(HWND window, WPARAM timer) {
    if (timer == refresh_timer) refresh_pages(window);
    if (timer == checks_timer) run_system_checks(window);
    if (timer == refresh_timer || timer == checks_timer) read_clients(window);
}

void on_mouse_move(HWND window, LPARAM lparam) {
    SetupUiState& state = setup_state(window);
    const int item = navigation_item_at(state.scale, GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
    if (item != state.hover_tab) {
        state.hover_tab = item;
        const RECT column = navigation_column_rect(state.scale);
        InvalidateRect(window, &column, TRUE);
        TRACKMOUSEEVENT track{.cbSize = sizeof track, .dwFlags = TME_LEAVE, .hwndTrack = window};
        TrackMouseEvent(&track);
    }
    SetCursor(LoadCursorW(nullptr, item >= 0 ? IDC_HAND : IDC_ARROW));
}

void on_mouse_leave(HWND window) {
    SetupUiState& state = setup_state(window);
    if (state.hover_tab == -1) return;
    state.hover_tab = -1;
    const RECT column = navigation_column_rect(state.scale);
    InvalidateRect(window, &column, TRUE);
}

void on_left_button_down(HWND window, LPARAM lparam) {
    const int item =
        navigation_item_at(setup_state(window).scale, GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
    if (item >= 0) switch_page(window, static_cast<std::uint8_t>(item));
}

LRESULT dispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_NCCREATE:
        return on_create(window, message, wparam, lparam);
    case WM_NCDESTROY:
        detach_state(window);
        return DefWindowProcW(window, message, wparam, lparam);
    default:
        break;
    }
    // Messages that arrive before WM_NCCREATE (WM_GETMINMAXINFO) find no record yet.
    if (!find_state(window)) return DefWindowProcW(window, message, wparam, lparam);
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_PAINT:
        return on_paint(window);
    case WM_CLOSE:
        on_close(window);
        return 0;
    case WM_ERASEBKGND:
        return on_erase_background(window, wparam);
    case WM_SETTINGCHANGE:
        on_setting_change(window, lparam);
        return 0;
    case WM_DRAWITEM:
        return on_draw_item(window, message, wparam, lparam);
    case WM_COMMAND:
        on_command(window, wparam);
        return 0;
    case WM_NOTIFY:
        return on_notify(window, lparam);
    case WM_TIMER:
        on_timer(window, wparam);
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return control_colours(window, reinterpret_cast<HDC>(wparam),
                               reinterpret_cast<HWND>(lparam), true);
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        return control_colours(window, reinterpret_cast<HDC>(wparam),
                               reinterpret_cast<HWND>(lparam), false);
    case WM_MOUSEMOVE:
        on_mouse_move(window, lparam);
        return 0;
    case WM_MOUSELEAVE:
        on_mouse_leave(window);
        return 0;
    case WM_LBUTTONDOWN:
        on_left_button_down(window, lparam);
        return 0;
    case MSG_JOB_DONE:
        finish_job(window);
        return 0;
    case MSG_REBUILD_CONTROLS:
        rebuild_controls(window);
        return 0;
    case MSG_CHECKS_DONE:
        take_system_checks(window, wparam, lparam);
        return 0;
    case MSG_CLIENTS_READ:
        show_clients(window);
        return 0;
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

} // namespace

LRESULT CALLBACK setup_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    // No exception may cross into the system's code that called us.
    try {
        return dispatch(window, message, wparam, lparam);
    } catch (...) {
        return 0;
    }
}
