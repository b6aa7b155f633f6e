#pragma once
// The General page (page 3): the frame's hooks into it. The page's own controls and rules are
// built on these; until then it shows its cards and title only.
#include "svc/start_type.h"

#include <windows.h>

void create_general_controls(HWND window);
// The start-at-logon box, from load_pages.
void load_general_page(HWND window);
// The "Start MySQL with Windows" box, from the Overview's refresh and the start type it read.
void refresh_general_page(HWND window, StartType start_type);
// A click on one of the page's buttons or boxes; false when the identifier is not the page's.
bool handle_general_command(HWND window, int control_id);
// CBN_SELCHANGE of the language list.
void on_language_change(HWND window);
