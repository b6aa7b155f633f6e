#pragma once
// The tray's notification-area icon: adding and updating it, its balloons, and the fixed-size
// UTF-16 text fields of the notification data.
#include <windows.h>
#include <shellapi.h>

#include <span>
#include <string_view>

// The callback message of the notification icon; lParam's low word is the mouse message.
inline constexpr UINT MSG_TRAY_CALLBACK = WM_APP + 1;
inline constexpr UINT tray_icon_id = 1;

// The UTF-16 form of `text`, cut to the buffer's size less one unit, then a terminating NUL.
// A cut that would split a surrogate pair drops its first half too.
void copy_to_wide_buffer(std::span<wchar_t> buffer, std::string_view text);

// The notification data (all of it, 976 bytes) for the icon and its tooltip: flags NIF_MESSAGE,
// NIF_ICON and NIF_TIP, the callback message MSG_TRAY_CALLBACK.
NOTIFYICONDATAW icon_notify_data(HWND window, HICON icon, std::string_view tooltip);
// The notification data of a balloon: NIF_INFO, the error or information symbol, the title
// "KELTA Retail MySQL" and the text; no time-out.
NOTIFYICONDATAW balloon_notify_data(HWND window, std::string_view text, bool is_error);

// Shows the icon and tooltip of the state in the window's record: with `add_first` the icon is
// added (or, when the shell has it already, modified), otherwise modified (or added).
void update_tray_icon(HWND window, bool add_first);

// Reads the service state, the port and the automatic backup's state again, and every 10 s the
// number of computers connected to the server; the shell is called only when one of them changed
// or the icon is not in the notification area yet.
void refresh_tray(HWND window);
// The pointer is on the icon, its tooltip about to show: the number of connected computers is
// read again unless it was read within the last second.
void refresh_tray_clients(HWND window);

// A balloon from the notification icon, with the error or the information symbol; the icon is
// put back first when the shell has lost it. False when it could not be shown.
bool show_balloon(HWND window, std::string_view text, bool is_error);

// Takes every queued notification and shows each as a balloon, in queue order; those that
// cannot be shown yet stay queued.
void show_queued_balloons(HWND window);

void remove_tray_icon(HWND window);
