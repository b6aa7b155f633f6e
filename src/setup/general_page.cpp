#include "setup/general_page.h"

void create_general_controls(HWND) {}

void load_general_page(HWND) {}

void refresh_general_page(HWND, StartType) {}

bool handle_general_command(HWND, int) {
    return false;
}

void on_language_change(HWND) {}
