#include "popup_menu.h"

#include "wine_tray.h"

#include "app/text.h"

#include <thread>

namespace e2e {

namespace {

constexpr UINT menu_get_handle = 0x01E1; // MN_GETHMENU

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

std::optional<MenuSeen> wait_popup_menu(DWORD process_id, std::chrono::milliseconds limit) {
    HWND window = nullptr;
    if (!wait_until([&] { return (window = find_popup_menu(process_id)) != nullptr; }, limit))
        return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // let it finish drawing
    MenuSeen seen;
    seen.window = window;
    GetWindowRect(window, &seen.area);
    auto menu = reinterpret_cast<HMENU>(SendMessageW(window, menu_get_handle, 0, 0));
    const int count = menu ? GetMenuItemCount(menu) : -1;
    for (int i = 0; i < count; ++i) seen.entries.push_back(read_entry(menu, static_cast<UINT>(i)));
    return seen;
}

void close_popup_menu(HWND menu) { post_key(menu, VK_ESCAPE); }

void choose_from_bottom(HWND menu, int steps_up) {
    for (int i = 0; i < steps_up; ++i) post_key(menu, VK_UP);
    post_key(menu, VK_RETURN);
}

bool has_popup_menu(DWORD process_id) { return find_popup_menu(process_id) != nullptr; }

} // namespace e2e
