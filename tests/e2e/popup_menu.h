#pragma once
// Popup menus (window class "#32768"): one opened by another process, seen on the screen and
// driven with keys, and menus of this process, read entry by entry. Wine keeps a menu inside the
// process that made it, so another process's menu can be compared only by its picture.
#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct MenuEntrySeen {
    std::string text;
    UINT id = 0;
    bool separator = false;
    bool greyed = false;
    bool is_default = false;
};

// A menu handle of this process, entry by entry.
std::vector<MenuEntrySeen> menu_entries(HMENU menu);

struct MenuSeen {
    HWND window = nullptr;
    RECT area{};
    std::vector<DWORD> pixels; // the menu window as the screen shows it
};

// Waits for a visible popup menu of the process and takes its picture.
std::optional<MenuSeen> wait_popup_menu(DWORD process_id, std::chrono::milliseconds limit);

// Opens `menu` at the cursor from a window of this process, takes its picture and closes it.
std::optional<MenuSeen> picture_of_menu(HMENU menu);

// Keys posted to an open menu: Escape closes it; Up then Return chooses an entry from below.
void close_popup_menu(HWND menu);
void choose_from_bottom(HWND menu, int steps_up);

// Whether the process still shows a popup menu.
bool has_popup_menu(DWORD process_id);

} // namespace e2e
