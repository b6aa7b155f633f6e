#pragma once
// The tray program (started with no mode) and its remote control.

// Single instance, hidden window, notification icon, message loop; returns when it ends.
void run_tray_program();
// Closes a running tray program of this user, waiting at most about 3.3 seconds.
void quit_running_tray();
