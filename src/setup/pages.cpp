#include "setup/pages.h"

#include "base/text.h"
#include "i18n/tr.h"
#include "jobs/jobs.h"
#include "setup/backup_page.h"
#include "setup/backup_page_automatic.h"
#include "setup/busy.h"
#include "setup/clients_watch.h"
#include "setup/connection_page.h"
#include "setup/control_ids.h"
#include "setup/controls.h"
#include "setup/frame.h"
#include "setup/general_page.h"
#include "setup/overview_page.h"
#include "setup/rebuild.h"
#include "setup/state.h"
#include "setup/system_checks.h"
#include "svc/port_holder.h"
#include "svc/start_type.h"

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
                                       .place = {236, 532, 120, 4},
                                       .id = id::progress_bar});
    if (bar) ShowWindow(bar, SW_HIDE);
    create_control(window, {.class_name = static_class,
                            .style = SS_NOPREFIX | SS_ENDELLIPSIS,
                            .place = {368, 524, 396, 20},
                            .id = id::status_line});
}

bool is_checkbox_label(int control_id) {
    return std::ranges::find(checkbox_labels, control_id) != std::end(checkbox_labels);
}

// Shows or hides the passwords on the Overview and the Connection page.
void toggle_passwords(HWND window) {
    SetupUiState& state = setup_state(window);
    state.password_visible = !state.password_visible;
    show_connection_password(window);
    refresh_pages(window);
}

void generate_password(HWND window) {
    fill_generated_password(window);
    if (!setup_state(window).password_visible) toggle_passwords(window);
}

void undo_connection_edits(HWND window) {
    load_pages(window);
    set_status_line(window, StatusKind::neutral, "");
}

// The clicks that concern more than one page; false for the others.
bool handle_frame_command(HWND window, int control_id) {
    switch (control_id) {
    case id::escape_key:
        PostMessageW(window, WM_CLOSE, 0, 0);
        return true;
    case id::show_password_overview:
    case id::show_password_connection:
        toggle_passwords(window);
        return true;
    case id::generate_password:
        generate_password(window);
        return true;
    case id::undo_button:
        undo_connection_edits(window);
        return true;
    default:
        return false;
    }
}

// The port is taken: the Connection page with the next free port from 3307 up filled in, not
// saved; its hint says that the registers must then connect with the new settings.
void offer_other_port(HWND window) {
    const SetupUiState& state = setup_state(window);
    ConnectionSettings settings = state.saved_settings ? *state.saved_settings : default_settings();
    const std::optional<std::uint16_t> free = next_free_port(default_port);
    switch_page(window, page::connection);
    if (free) settings.port = *free;
    load_connection_page(window, settings);
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
    refresh_pages(window);
}

void refresh_pages(HWND window) {
    if (setup_state(window).busy) return;
    const ServiceView service = query_service_view();
    refresh_overview(window, service);
    refresh_backup_page(window);
    refresh_general_page(window, service.start_type);
}

void switch_page(HWND window, std::uint8_t new_page) {
    SetupUiState& state = setup_state(window);
    if (new_page == state.current_page) return;
    state.current_page = new_page;
    for (const ControlEntry& control : state.controls) {
        if (control.page == page::every) continue;
        ShowWindow(control.window, control.page == new_page ? SW_SHOW : SW_HIDE);
    }
    refresh_pages(window);
    InvalidateRect(window, nullptr, TRUE);
}

void rebuild_controls(HWND window) {
    SetupUiState& state = setup_state(window);
    const std::optional<ConnectionSettings> kept = unsaved_connection_edits(window);
    const std::optional<BackupSettings> kept_backup = unsaved_automatic_edits(window);
    for (const ControlEntry& control : state.controls)
        DestroyWindow(control.window);
    state.controls.clear();
    create_fonts(state);
    create_controls(window);
    load_pages(window);
    // The kept edits go back into the fields over the stored values; the page stays dirty.
    if (kept) load_connection_page(window, *kept);
    if (kept_backup) fill_automatic_backup(window, *kept_backup);
    SetWindowTextW(window, widen(window_title()).c_str());
    InvalidateRect(window, nullptr, TRUE);
    if (HWND language_list = GetDlgItem(window, id::language_list)) SetFocus(language_list);
}

void handle_command(HWND window, int control_id) {
    if (is_checkbox_label(control_id)) {
        HWND box = GetDlgItem(window, control_id - id::checkbox_label_offset);
        if (!box || !IsWindowEnabled(box)) return;
        const bool checked = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
        SendMessageW(box, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
        control_id -= id::checkbox_label_offset;
    }
    if (handle_frame_command(window, control_id)) return;
    if (control_id == id::diagnosis_action &&
        setup_state(window).diagnosis_action == DiagnosisAction::other_port) {
        offer_other_port(window);
        return;
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

void show_clients(HWND window) {
    if (take_clients(window)) show_connected_clients(window);
}

void finish_job(HWND window) {
    SetupUiState& state = setup_state(window);
    end_busy(window);

    const std::optional<JobResult> result = take_job_result();
    // What the operator typed on the Connection page outlives every job but a Save that worked:
    // a failed Save leaves the typed values to correct, another job never concerned them.
    const bool saved = result && !result->is_error && state.job_saves_settings;
    const std::optional<ConnectionSettings> kept =
        saved ? std::nullopt : unsaved_connection_edits(window);
    // The same for the automatic backup card and its own Save.
    const bool backup_saved = result && !result->is_error && state.job_saves_backup;
    const std::optional<BackupSettings> kept_backup =
        backup_saved ? std::nullopt : unsaved_automatic_edits(window);
    if (!result) {
        set_status_line(window, StatusKind::neutral, "");
    } else if (!result->is_error) {
        // The status line holds one line: a longer report (a rebuild's) is shown whole in a box.
        set_status_line(window, StatusKind::success, first_line(result->text));
        if (first_line(result->text).size() < result->text.size())
            window_message(window, result->text, MB_ICONINFORMATION);
        if (!result->warning.empty()) window_message(window, result->warning, MB_ICONWARNING);
    } else {
        set_status_line(window, StatusKind::error, first_line(result->text));
        if (!result->rebuild_from) window_message(window, result->text, MB_ICONERROR);
    }
    load_pages(window);
    // After the pages show the stopped server: the rebuild may start a job of its own.
    if (result && result->rebuild_from) offer_rebuild(window, result->rebuild_from, result->text);
    if (kept) load_connection_page(window, *kept);
    if (kept_backup) fill_automatic_backup(window, *kept_backup);
}
