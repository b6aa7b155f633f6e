#pragma once
// The frame that owns the pages: it creates every control of the window, loads the stored
// settings and the system's state into the pages, refreshes them, switches between them, hands
// each click to the page it belongs to, and does what concerns more than one page (the shown
// passwords, Undo, the end of a job, the rebuild after a language change). The pages never call
// each other.
#include <windows.h>

#include <cstdint>

// The controls of the four pages in page order, then the progress bar and the status line.
void create_controls(HWND window);

// Loads the settings (or defaults) and the firewall rule's state into every page, then
// refreshes them.
void load_pages(HWND window);
// Queries the service once and recomputes what every page shows of it. Does nothing while a job
// runs.
void refresh_pages(HWND window);
void switch_page(HWND window, std::uint8_t page);

// A click (BN_CLICKED, STN_CLICKED) or the Escape key.
void handle_command(HWND window, int control_id);
// Any other notification of a child control.
void handle_notification(HWND window, int control_id, int code);

// MSG_CLIENTS_READ: the computers connected now, on the Overview.
void show_clients(HWND window);

// MSG_JOB_DONE: ends the busy state, shows the job's result and reloads the pages.
void finish_job(HWND window);
// After a language change: every control is created again in the new language, unsaved
// Connection edits survive.
void rebuild_controls(HWND window);
