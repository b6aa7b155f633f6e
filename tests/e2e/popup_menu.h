#pragma once
// A popup menu (window class "#32768") opened by another process: its entries as the menu
// handle gives them, and the keys that choose from it or close it.
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

struct MenuSeen {
    HWND window = nullptr;
    RECT area{};
    std::vector<MenuEntrySeen> entries;
};

// Waits for a visible popup menu of the process and reads it.
std::optional<MenuSeen> wait_popup_menu(DWORD process_id, std::chrono::milliseconds limit);

// Keys posted to the open menu: Escape closes it; Up then Return chooses an entry from below.
void close_popup_menu(HWND menu);
void choose_from_bottom(HWND menu, int steps_up);

// Whether the process still shows a popup menu.
bool has_popup_menu(DWORD process_id);

} // namespace e2e
