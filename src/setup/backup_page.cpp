#include "setup/backup_page.h"

void create_backup_controls(HWND) {}

void refresh_backup_page(HWND) {}

bool handle_backup_command(HWND, int) {
    return false;
}
