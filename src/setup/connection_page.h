#pragma once
// The Connection page (page 1): the stored connection settings as editable fields, the
// comparison that tells unsaved changes, and Save through the apply job.
#include "config/settings.h"

#include <windows.h>

#include <optional>
#include <string_view>

void create_connection_controls(HWND window);
// Fills the fields, the Server IP list and the firewall box from the settings (the loaded ones,
// or edits kept across a rebuild of the controls), then updates Save and Undo.
void load_connection_page(HWND window, const ConnectionSettings& settings);

// Rebuilds the Server IP list around `bind` and selects it.
void fill_server_ip_choices(HWND window, std::string_view bind);
// The settings as entered now; the root password is the loaded one, which the page never shows.
ConnectionSettings read_connection_page(HWND window);
// The entered values differ from the loaded settings. A comparison, not a flag: typing a value
// back to its stored text makes the page clean again.
bool connection_dirty(HWND window);
// Save and Undo are enabled only with unsaved changes and no job running, Save only once the
// firewall rule's state is known; the validation message goes.
void update_save_buttons(HWND window);

// The firewall rule's state, found after the page was loaded, becomes the stored value the page
// compares with; the box follows it unless the operator has changed the box meanwhile, so the
// late answer never makes the page look edited.
void take_firewall_state(HWND window, std::optional<bool> open);

// The values entered, when they differ from the loaded settings (unsaved changes).
std::optional<ConnectionSettings> unsaved_connection_edits(HWND window);
// The password field hidden or in plain text as the window's choice says, with the button to match.
void show_connection_password(HWND window);
// A new random password in the field (shown or hidden as the field is).
void fill_generated_password(HWND window);

// A click on one of the page's buttons; false when the identifier is not the page's. Undo,
// Generate and Show belong to the frame, which reloads or shows both pages.
bool handle_connection_command(HWND window, int control_id);
// EN_CHANGE of the fields and CBN_SELCHANGE of the Server IP list.
void on_connection_change(HWND window, int control_id, int code);
