#pragma once
// The Backup & restore page (page 2): a dump to a file of the operator's choice, the automatic
// backup, a restore from a file or from the list of automatic dumps after a question, the folder
// of the safety dumps, and where the data lives.
#include <windows.h>

void create_backup_controls(HWND window);
// The automatic backup card from backup.ini, and the list of its dumps.
void load_backup_page(HWND window);
// The last-backup line and the Back up / Restore buttons, from the Overview's refresh.
void refresh_backup_page(HWND window);
// A click on one of the page's buttons (the automatic backup card's too); false when the
// identifier is not the page's.
bool handle_backup_command(HWND window, int control_id);
