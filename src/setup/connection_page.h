#pragma once
// The Connection page (page 1): the frame's hooks into it. The page's own controls and rules are
// built on these; until then it shows its card and title only.
#include "config/settings.h"

#include <windows.h>

#include <optional>

void create_connection_controls(HWND window);
// Fills the fields, the Server IP list and the firewall box from the loaded settings, then
// updates Save and Undo.
void load_connection_page(HWND window, const ConnectionSettings& settings);
// The values entered, when they differ from the loaded settings (unsaved changes).
std::optional<ConnectionSettings> unsaved_connection_edits(HWND window);
// Puts values kept across a rebuild of the controls back into the fields.
void restore_connection_edits(HWND window, const ConnectionSettings& kept);
// A click on one of the page's buttons; false when the identifier is not the page's.
bool handle_connection_command(HWND window, int control_id);
// EN_CHANGE of the fields and CBN_SELCHANGE of the Server IP list.
void on_connection_change(HWND window, int control_id, int code);
