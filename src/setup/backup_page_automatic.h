#pragma once
// The Backup & restore page's "Automatic backup" card: backup.ini as editable fields (switch,
// time in the standard time picker, number kept, folder, copy folder), Save and Undo as on the
// Connection page, a run of the automatic backup now, and how its last run went.
#include "svc/backup_settings.h"

#include <windows.h>

#include <optional>

void create_automatic_backup_controls(HWND window);
// Fills the card from backup.ini (the defaults, and the reason in the card's line, when it cannot
// be read), then updates Save and Undo.
void load_automatic_backup(HWND window);
// Fills the fields with the settings (edits kept across a job or a rebuild of the controls).
void fill_automatic_backup(HWND window, const BackupSettings& settings);
// The last run's line and the Run now button, from the Overview's refresh.
void refresh_automatic_backup(HWND window);

// The settings as entered now (a number that does not parse is 0, refused by the checks).
BackupSettings read_automatic_backup(HWND window);
// The values entered, when they differ from the loaded settings (unsaved changes).
std::optional<BackupSettings> unsaved_automatic_edits(HWND window);
// A click on one of the card's buttons; false when the identifier is not the card's.
bool handle_automatic_backup_command(HWND window, int control_id);
// EN_CHANGE of the card's fields and DTN_DATETIMECHANGE of its time picker; false when the
// identifier is not the card's.
bool on_automatic_backup_change(HWND window, int control_id, int code);
