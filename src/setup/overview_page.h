#pragma once
// The Overview page (page 0): service state and buttons, the connection information for the
// registers, and the firewall line.
#include <windows.h>

// What a hidden password shows for each character, on both pages.
inline constexpr wchar_t password_bullet = L'\u25CF';

void create_overview_controls(HWND window);

// Recomputes every text and button state of the page (and the few of the Backup & restore and
// General pages that follow the service). Does nothing while a job runs.
void refresh_overview(HWND window);

// Shows or hides the passwords on the Overview and the Connection page.
void toggle_password(HWND window);

// A click on one of the page's buttons; false when the identifier is not the page's.
bool handle_overview_command(HWND window, int control_id);
