#include "setup/pages.h"

#include "setup/automatic_backup.h"
#include "setup/backup_page.h"
#include "setup/connection_page.h"
#include "setup/control_ids.h"
#include "setup/controls.h"
#include "setup/general_page.h"
#include "setup/overview_page.h"
#include "setup/state.h"
#include "setup/system_checks.h"

#include <commctrl.h>

#include <algorithm>

namespace {

constexpr int checkbox_labels[] = {id::firewall_box + id::checkbox_label_offset,
                                   id::start_with_windows_box + id::checkbox_label_offset,
                                   id::tray_at_logon_box + id::checkbox_label_offset,
                                   id::automatic_box + id::checkbox_label_offset};

void create_frame_controls(HWND window) {
    HWND bar = create_control(window, {.class_name = PROGRESS_CLASSW,
                                       .style = PBS_MARQUEE,
                                       .place = {236, 516, 120, 4},
                                       .id = id::progress_bar});
    if (bar) ShowWindow(bar, SW_HIDE);
    create_control(window, {.class_name = static_class,
                            .style = SS_NOPREFIX | SS_ENDELLIPSIS,
                            .place = {368, 508, 396, 20},
                            .id = id::status_line});
}

bool is_checkbox_label(int control_id) {
    return std::ranges::find(checkbox_labels, control_id) != std::end(checkbox_labels);
}

} // namespace

void create_controls(HWND window) {
    SetupUiState& state = setup_state(window);
    state.page_being_built = page::overview;
    create_overview_controls(window);
    state.page_being_built = page::connection;
    create_connection_controls(window);
    state.page_being_built = page::backup;
    create_backup_controls(window);
    state.page_being_built = page::general;
    create_general_controls(window);
    state.page_being_built = page::every;
    create_frame_controls(window);
}

void load_pages(HWND window) {
    SetupUiState& state = setup_state(window);
    std::optional<ConnectionSettings> stored = load_settings();
    ConnectionSettings settings = stored ? *stored : default_settings();
    // The firewall box shows the rule's real state, not the stored wish: until the check below
    // answers, the state last seen stands in.
    settings.firewall = state.saved_settings && state.saved_settings->firewall;
    state.saved_settings = settings;
    start_system_checks(window);
    load_connection_page(window, settings);
    load_backup_page(window);
    load_general_page(window);
    refresh_overview(window);
}

void handle_command(HWND window, int control_id) {
    if (control_id == id::escape_key) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        return;
    }
    if (is_checkbox_label(control_id)) {
        HWND box = GetDlgItem(window, control_id - id::checkbox_label_offset);
        if (!box || !IsWindowEnabled(box)) return;
        const bool checked = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
        SendMessageW(box, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
        control_id -= id::checkbox_label_offset;
    }
    if (handle_overview_command(window, control_id)) return;
    if (handle_connection_command(window, control_id)) return;
    if (handle_backup_command(window, control_id)) return;
    handle_general_command(window, control_id);
}

void handle_notification(HWND window, int control_id, int code) {
    if (code == CBN_SELCHANGE && control_id == id::language_list) {
        on_language_change(window);
        return;
    }
    const bool field_change =
        code == EN_CHANGE && control_id >= id::port_edit && control_id <= id::host_edit;
    const bool list_change = code == CBN_SELCHANGE && control_id == id::server_ip_list;
    if (field_change || list_change)
        on_connection_change(window, control_id, code);
    else
        on_automatic_backup_change(window, control_id, code);
}
