#include "tray/menu.h"

#include "base/text.h"
#include "i18n/language.h"
#include "i18n/tr.h"
#include "jobs/jobs.h"
#include "tray/notify.h"
#include "tray/state.h"
#include "tray/texts.h"
#include "ui/theme.h"

namespace {

TrayMenuItem separator() {
    return {.text = {}, .id = 0, .flags = MF_SEPARATOR};
}

UINT track_menu(HWND window, HMENU menu) {
    POINT cursor{};
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close when the operator clicks elsewhere.
    SetForegroundWindow(window);
    const UINT command = static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON,
                                                          cursor.x, cursor.y, 0, window, nullptr));
    // Lets the menu's modal loop finish switching away, so that the next right click opens it.
    PostMessageW(window, WM_NULL, 0, 0);
    return command;
}

void carry_out(HWND window, UINT command) {
    switch (command) {
    case ID_TRAY_SETUP:
        start_open_setup_job(tray_state(window).elevation);
        break;
    case ID_TRAY_INSTALL:
        // Ignored while an install of this tray runs.
        (void)start_tray_install_job(window, tray_state(window).elevation);
        break;
    case ID_TRAY_EXIT:
        // The tray goes; the database service keeps running.
        DestroyWindow(window);
        break;
    default:
        break;
    }
}

} // namespace

std::vector<TrayMenuItem> tray_menu_items(ServiceStatus status, bool installing) {
    std::vector<TrayMenuItem> items{
        {.text = tray_status_line(status), .id = 0, .flags = MF_STRING | MF_GRAYED},
        separator(),
        {.text = std::string(tr("Setup...", "设置…")), .id = ID_TRAY_SETUP, .flags = MF_STRING},
    };
    if (status == ServiceStatus::NotInstalled)
        items.push_back({.text = std::string(tr("Install MySQL service", "安装 MySQL 服务")),
                         .id = ID_TRAY_INSTALL,
                         .flags = MF_STRING | (installing ? MF_GRAYED : 0u)});
    items.push_back(separator());
    items.push_back(
        {.text = std::string(tr("Exit tray (MySQL keeps running)", "退出托盘（MySQL 继续运行）")),
         .id = ID_TRAY_EXIT,
         .flags = MF_STRING});
    return items;
}

UniqueMenu build_tray_menu(const std::vector<TrayMenuItem>& items) {
    UniqueMenu menu(CreatePopupMenu());
    if (!menu) return menu;
    for (const TrayMenuItem& item : items) {
        const std::wstring text = widen(item.text);
        AppendMenuW(menu.get(), item.flags, item.id,
                    item.flags & MF_SEPARATOR ? nullptr : text.c_str());
    }
    SetMenuDefaultItem(menu.get(), ID_TRAY_SETUP, FALSE);
    return menu;
}

void show_tray_menu(HWND window) {
    refresh_tray(window);
    // The language may have been changed in the Setup window, which is another process.
    detect_language();
    allow_window_dark_mode(window, is_dark_theme());
    const TrayState& state = tray_state(window);
    UniqueMenu menu = build_tray_menu(tray_menu_items(state.state, install_busy.load() != 0));
    if (!menu) return;
    const UINT command = track_menu(window, menu.get());
    menu.reset();
    carry_out(window, command);
}
