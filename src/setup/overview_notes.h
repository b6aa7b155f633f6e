#pragma once
// The status lines stacked under the Overview's detail line: why the last start failed, and
// whatever else the operator should know about the server. Each takes one to three lines; the
// first card grows with them, and everything below it moves down, the window too.
#include "setup/palette.h"
#include "svc/diagnosis.h"
#include "svc/status.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

struct OverviewNote {
    std::string text;
    PaletteEntry colour = secondary_text;
    bool with_action = false; // the diagnosis: its action button stands right below it
};

// The lines for the state of the server and its scheduled work, in the order they stack, with
// the current diagnosis of a failed start; the tasks' presence is unknown (nothing) until the
// Task Scheduler answers.
std::vector<OverviewNote> overview_notes(const std::optional<Diagnosis>& diagnosis,
                                         ServiceStatus status,
                                         std::optional<bool> rotation_task_present,
                                         std::optional<bool> backup_task_present);

// "Last automatic backup: <time> (ok)", or the warning in the warning colour; nothing before the
// first good run while all is well, or with the automatic backup switched off.
std::optional<OverviewNote> automatic_backup_note(std::optional<bool> backup_task_present);

// Creates the (empty) line controls below the detail line, and the diagnosis's action button.
void create_overview_note_controls(HWND window);
// Shows the lines, one control each (lines beyond the last control are dropped), with the action
// button below the note that has one when `action` is not empty, and moves the rest of the page
// to make room for them.
void show_overview_notes(HWND window, const std::vector<OverviewNote>& notes,
                         std::string_view action = {});
