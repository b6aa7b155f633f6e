#pragma once
// The Backup & restore page (page 2): the frame's hooks into it. The page's own controls and
// rules are built on these; until then it shows its cards and title only.
#include <windows.h>

void create_backup_controls(HWND window);
// The last-backup line and the Back up / Restore buttons, from the Overview's refresh.
void refresh_backup_page(HWND window);
// A click on one of the page's buttons; false when the identifier is not the page's.
bool handle_backup_command(HWND window, int control_id);
