#pragma once
// The pages as a whole: creating every control of the window, and loading the stored settings
// and the system's state into them.
#include <windows.h>

// The controls of the four pages in page order, then the progress bar and the status line.
void create_controls(HWND window);

// Loads the settings (or defaults) and the firewall rule's state into every page, then
// refreshes the Overview.
void load_pages(HWND window);

// A click (BN_CLICKED, STN_CLICKED) or the Escape key.
void handle_command(HWND window, int control_id);
// Any other notification of a child control.
void handle_notification(HWND window, int control_id, int code);
