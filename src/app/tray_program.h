#pragma once
// The tray program (started with no mode) and its remote control.
#include "base/elevation.h"
#include "base/result.h"

// Single instance, hidden window, notification icon, message loop; returns when it ends. Its
// jobs relaunch the program through `elevation`.
void run_tray_program(const ElevationHooks& elevation);
// Closes a running tray program of this user and waits until its process has ended: a few
// seconds, or while an install of the tray runs, as long as the install may take. Fails when
// the process is still there at the end.
Result<void> quit_running_tray();
