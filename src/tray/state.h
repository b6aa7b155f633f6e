#pragma once
// The tray window's state record: owned by the tray program's user-interface thread, lent to its
// window from WM_NCCREATE until WM_DESTROY, and read only through tray_state().
#include "jobs/jobs.h"
#include "svc/status.h"
#include "tray/backup_watch.h"
#include "tray/icons.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>

struct TrayState {
    TrayIcons icons;
    UINT taskbar_created = 0; // the registered "TaskbarCreated" message
    std::uint16_t port = 0;
    ServiceStatus state = ServiceStatus::NotInstalled;
    bool icon_added = false;
    bool first_add_done = false; // the welcome balloon is shown only at the first add
    ElevationHooks elevation{};  // how the tray's jobs relaunch the program
    BackupWatch backup;
    std::string backup_warning; // the tooltip's short warning about the automatic backup
    std::size_t clients = 0;    // computers connected to the server at the last reading
    std::optional<ULONGLONG> clients_read_at; // the tick count of that reading
};

// At WM_NCCREATE: the record passed as lpCreateParams becomes the window's.
void attach_tray_state(HWND window, const CREATESTRUCTW& create);
// At WM_DESTROY: the window lets go of its record and destroys the icons.
void release_tray_state(HWND window);

// The window's record, or nothing before WM_NCCREATE and after WM_DESTROY.
TrayState* find_tray_state(HWND window);
// The window's record. A record that is gone means a message arrived for a destroyed tray: an
// internal fault that ends the process rather than work on freed state.
TrayState& tray_state(HWND window);
