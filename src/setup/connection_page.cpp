#include "setup/connection_page.h"

void create_connection_controls(HWND) {}

void load_connection_page(HWND, const ConnectionSettings&) {}

std::optional<ConnectionSettings> unsaved_connection_edits(HWND) {
    return std::nullopt;
}

void restore_connection_edits(HWND, const ConnectionSettings&) {}

bool handle_connection_command(HWND, int) {
    return false;
}

void on_connection_change(HWND, int, int) {}
