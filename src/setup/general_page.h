#pragma once
// The General page (page 3): how the service starts, the tray icon at logon, the interface
// language, the error log, the support file for the helpdesk, and the About lines.
#include "svc/start_type.h"

#include <windows.h>

#include <string>
#include <string_view>

inline constexpr std::string_view program_copyright = "Copyright \u00A9 2026 Vantrelo";

void create_general_controls(HWND window);
// The start-at-logon box, from load_pages.
void load_general_page(HWND window);
// The "Start MySQL with Windows" box, from the Overview's refresh and the start type it read.
void refresh_general_page(HWND window, StartType start_type);
// A click on one of the page's buttons or boxes; false when the identifier is not the page's.
bool handle_general_command(HWND window, int control_id);
// CBN_SELCHANGE of the language list: stores the choice, then has the window rebuilt.
void on_language_change(HWND window);

// "KELTA Retail MySQL  Version 1.1.1", the word translated.
std::string about_line();
