#include "popup_menu.h"

#include "harness.h"
#include "setup_window.h"
#include "wine_tray.h"

#include "base/text.h"

#include <thread>

namespace e2e {

namespace {

HWND find_popup_menu(DWORD process_id) {
    struct Search {
        DWORD process_id;
        HWND found = nullptr;
    } search{process_id};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t name[16] = {};
            GetClassNameW(window, name, 16);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->process_id && std::wstring(name) == L"#32768" &&
                IsWindowVisible(window)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

MenuEntrySeen read_entry(HMENU menu, UINT position) {
    MenuEntrySeen entry;
    wchar_t text[256] = {};
    MENUITEMINFOW info{.cbSize = sizeof(MENUITEMINFOW),
                       .fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING,
                       .dwTypeData = text,
                       .cch = 255};
    if (!GetMenuItemInfoW(menu, position, TRUE, &info)) return entry;
    entry.separator = (info.fType & MFT_SEPARATOR) != 0;
    entry.greyed = (info.fState & MFS_GRAYED) != 0;
    entry.is_default = (info.fState & MFS_DEFAULT) != 0;
    entry.id = info.wID;
    entry.text = narrow(text);
    return entry;
}

void post_key(HWND menu, WPARAM key) {
    PostMessageW(menu, WM_KEYDOWN, key, 0);
    PostMessageW(menu, WM_KEYUP, key, 0);
}

} // namespace

std::vector<MenuEntrySeen> menu_entries(HMENU menu) {
    std::vector<MenuEntrySeen> entries;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i)
        entries.push_back(read_entry(menu, static_cast<UINT>(i)));
    return entries;
}

std::optional<MenuSeen> wait_popup_menu(DWORD process_id, std::chrono::milliseconds limit) {
    HWND window = nullptr;
    if (!eventually([&] { return (window = find_popup_menu(process_id)) != nullptr; }, limit))
        return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(400)); // let it finish drawing
    MenuSeen seen;
    seen.window = window;
    GetWindowRect(window, &seen.area);
    seen.pixels = screen_pixels(seen.area);
    return seen;
}

std::optional<MenuSeen> picture_of_menu(HMENU menu) {
    std::thread owner_thread([menu] {
        HWND owner = CreateWindowExW(0, L"STATIC", L"menu owner", WS_POPUP, 0, 0, 0, 0, nullptr,
                                     nullptr, nullptr, nullptr);
        POINT cursor{};
        GetCursorPos(&cursor);
        SetForegroundWindow(owner);
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, owner,
                       nullptr);
        DestroyWindow(owner);
    });
    auto seen = wait_popup_menu(GetCurrentProcessId(), std::chrono::seconds(5));
    if (seen) close_popup_menu(seen->window);
    owner_thread.join();
    return seen;
}

void close_popup_menu(HWND menu) {
    post_key(menu, VK_ESCAPE);
}

void choose_from_bottom(HWND menu, int steps_up) {
    for (int i = 0; i < steps_up; ++i)
        post_key(menu, VK_UP);
    post_key(menu, VK_RETURN);
}

bool has_popup_menu(DWORD process_id) {
    return find_popup_menu(process_id) != nullptr;
}

} // namespace e2e
