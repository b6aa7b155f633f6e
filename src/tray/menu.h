#pragma once
// The tray icon's right-click menu.
#include "base/handles.h"
#include "svc/status.h"

#include <windows.h>

#include <string>
#include <vector>

inline constexpr UINT ID_TRAY_INSTALL = 104;
inline constexpr UINT ID_TRAY_SETUP = 108;
inline constexpr UINT ID_TRAY_EXIT = 109;

struct TrayMenuItem {
    std::string text; // empty for a separator
    UINT id = 0;
    UINT flags = MF_STRING;
};

// Status line (greyed), separator, Setup..., the install item only while the service is missing
// (greyed while an install of this tray runs), separator, exit.
std::vector<TrayMenuItem> tray_menu_items(ServiceStatus status, bool installing);

// The popup menu of the entries, with Setup... as its default (bold) entry.
UniqueMenu build_tray_menu(const std::vector<TrayMenuItem>& items);

// Refreshes the state, shows the menu at the cursor and carries out the chosen command.
void show_tray_menu(HWND window);
