#pragma once
// What Wine's own notification area shows, read from another process: with no tray host on the
// display, Wine 8 draws a "Wine System Tray" window (class __winex11_standalone_tray) with one
// child window per notification icon, each with a tooltip control and, while a balloon shows, a
// balloon control. The texts are read with the tooltip messages through a buffer in the memory
// of the process that draws the tray.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

HWND wine_tray_window();
// The icon windows shown in the tray, left to right.
std::vector<HWND> wine_tray_icons();
// The tray's only icon when exactly one is shown.
std::optional<HWND> single_tray_icon();

std::optional<std::string> tooltip_of(HWND icon);

// Wine 8's tooltip control does not answer TTM_GETTITLE, so the title cannot be read; the
// symbol beside it is judged by colour (a blue "i" or a red cross).
struct BalloonSeen {
    std::string text;
    bool error_symbol = false;
    bool information_symbol = false;
    RECT area{};
};
// The balloon showing from this icon, if any.
std::optional<BalloonSeen> balloon_of(HWND icon);

// The status dot as the screen shows the icon: judged by the colours drawn in the icon window.
enum class DotSeen { none, grey, red, amber };
DotSeen dot_of(HWND icon);
const char* dot_name(DotSeen dot);

} // namespace e2e
