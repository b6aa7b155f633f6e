#include "tray/notify.h"

#include "base/text.h"
#include "i18n/tr.h"
#include "jobs/client_texts.h"
#include "jobs/jobs.h"
#include "svc/clients.h"
#include "svc/myini.h"
#include "tray/state.h"
#include "tray/texts.h"

#include <algorithm>
#include <utility>

namespace {

// The full form of the structure, with the balloon icon handle.
static_assert(sizeof(NOTIFYICONDATAW) == 976);

NOTIFYICONDATAW notify_data(HWND window) {
    return {.cbSize = sizeof(NOTIFYICONDATAW), .hWnd = window, .uID = tray_icon_id};
}

bool is_high_surrogate(wchar_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// The connection table is read at most this often while nobody looks, and at most this often
// while the pointer rests on the icon and its tooltip is about to show.
constexpr ULONGLONG clients_period_ms = 10'000;
constexpr ULONGLONG clients_hover_ms = 1'000;

// Counts the connected computers again when the last count is `age` old; a server that does not
// run has none, without asking. True when the number changed.
bool count_clients(TrayState& state, ULONGLONG age) {
    const bool server_runs =
        state.state != ServiceStatus::NotInstalled && state.state != ServiceStatus::Stopped;
    const ULONGLONG now = GetTickCount64();
    if (server_runs && state.clients_read_at && now - *state.clients_read_at < age) return false;
    std::size_t count = 0;
    if (server_runs) {
        state.clients_read_at = now;
        auto clients = connected_clients();
        count = clients ? clients->size() : 0;
    }
    return std::exchange(state.clients, count) != count;
}

} // namespace

void copy_to_wide_buffer(std::span<wchar_t> buffer, std::string_view text) {
    if (buffer.empty()) return;
    const std::wstring wide = widen(text);
    std::size_t count = std::min(wide.size(), buffer.size() - 1);
    if (count < wide.size() && count > 0 && is_high_surrogate(wide[count - 1])) --count;
    std::copy_n(wide.begin(), count, buffer.begin());
    buffer[count] = L'\0';
}

NOTIFYICONDATAW icon_notify_data(HWND window, HICON icon, std::string_view tooltip) {
    NOTIFYICONDATAW data = notify_data(window);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = MSG_TRAY_CALLBACK;
    data.hIcon = icon;
    copy_to_wide_buffer(data.szTip, tooltip);
    return data;
}

NOTIFYICONDATAW balloon_notify_data(HWND window, std::string_view text, bool is_error) {
    NOTIFYICONDATAW data = notify_data(window);
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = is_error ? NIIF_ERROR : NIIF_INFO;
    copy_to_wide_buffer(data.szInfoTitle, "KELTA Retail MySQL");
    copy_to_wide_buffer(data.szInfo, text);
    return data;
}

void update_tray_icon(HWND window, bool add_first) {
    TrayState& state = tray_state(window);
    std::string tooltip = tray_tooltip_text(state.state, state.port);
    if (state.clients) tooltip.append("\n").append(registers_connected_text(state.clients));
    if (!state.backup_warning.empty()) tooltip.append("\n").append(state.backup_warning);
    NOTIFYICONDATAW data =
        icon_notify_data(window, state.icons[icon_for_status(state.state)].get(), tooltip);

    // After a taskbar restart the shell may or may not still know the icon; either call may be
    // the one that works.
    const DWORD first = add_first ? NIM_ADD : NIM_MODIFY;
    const DWORD second = add_first ? NIM_MODIFY : NIM_ADD;
    state.icon_added = Shell_NotifyIconW(first, &data) || Shell_NotifyIconW(second, &data);
    if (!state.icon_added) return;
    if (std::exchange(state.first_add_done, true)) return;
    show_balloon(window,
                 tr("Running in the system tray. Double-click the icon to open Setup.",
                    "已在托盘中运行，双击图标打开设置。"),
                 false);
}

void refresh_tray(HWND window) {
    TrayState& state = tray_state(window);
    const ServiceStatus status = service_status();
    const std::uint16_t port = configured_port();
    std::string backup_warning =
        watch_automatic_backup(window, state.backup, status != ServiceStatus::NotInstalled);
    const bool unchanged =
        status == state.state && port == state.port && backup_warning == state.backup_warning;
    state.state = status;
    state.port = port;
    state.backup_warning = std::move(backup_warning);
    const bool clients_changed = count_clients(state, clients_period_ms);
    if (unchanged && !clients_changed && state.icon_added) return;
    update_tray_icon(window, false);
}

void refresh_tray_clients(HWND window) {
    TrayState& state = tray_state(window);
    if (count_clients(state, clients_hover_ms) && state.icon_added) update_tray_icon(window, false);
}

bool show_balloon(HWND window, std::string_view text, bool is_error) {
    NOTIFYICONDATAW data = balloon_notify_data(window, text, is_error);
    if (Shell_NotifyIconW(NIM_MODIFY, &data)) return true;
    // The shell has lost the icon (Explorer restarting, and its "TaskbarCreated" not come yet):
    // a balloon needs an icon to come from, so the icon goes back first.
    update_tray_icon(window, true);
    return tray_state(window).icon_added && Shell_NotifyIconW(NIM_MODIFY, &data);
}

void show_queued_balloons(HWND window) {
    // The queue's lock is held only while the entries move out, never while a balloon shows.
    std::vector<TrayNotification> entries = take_tray_notifications();
    for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
        if (show_balloon(window, entry->text, entry->is_error)) continue;
        // Not shown: kept, in order, for the next tick, rather than lost.
        return_tray_notifications(
            {std::make_move_iterator(entry), std::make_move_iterator(entries.end())});
        return;
    }
}

void remove_tray_icon(HWND window) {
    NOTIFYICONDATAW data = notify_data(window);
    Shell_NotifyIconW(NIM_DELETE, &data);
}
