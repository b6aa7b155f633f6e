#include "setup/overview_page.h"

#include "base/handles.h"
#include "base/text.h"
#include "config/addresses.h"
#include "i18n/tr.h"
#include "instance/paths.h"
#include "jobs/jobs.h"
#include "setup/busy.h"
#include "setup/clients_watch.h"
#include "setup/control_ids.h"
#include "setup/controls.h"
#include "setup/diagnosis_actions.h"
#include "setup/frame.h"
#include "setup/geometry.h"
#include "setup/overview_notes.h"
#include "setup/rebuild.h"
#include "setup/overview_texts.h"
#include "svc/myini.h"
#include "svc/start_failure.h"
#include "svc/start_type.h"
#include "svc/status.h"
#include "ui/clipboard.h"
#include "ui/shell_open.h"

#include <utility>

namespace {

constexpr DWORD label_style = SS_NOPREFIX | SS_ENDELLIPSIS;
constexpr DWORD field_style = ES_AUTOHSCROLL | ES_READONLY;

struct InfoRow {
    std::string_view english;
    std::string_view chinese;
    int label_y;
    int field_id;
    int field_y;
};

constexpr InfoRow info_rows[] = {
    {"Server", "服务器", 270, id::server_field, 268},
    {"Port", "端口", 297, id::port_field, 295},
    {"Database", "数据库", 324, id::database_field, 322},
    {"User", "用户名", 351, id::user_field, 349},
    {"Password", "密码", 378, id::password_field, 376},
};

// Shows the status text in the largest font that fits (status_text_font); the font is chosen
// again only when the text changes.
void show_status_text(HWND window, std::string_view text) {
    HWND control = GetDlgItem(window, id::status_text);
    if (!control || get_text(window, id::status_text) == text) return;
    if (HFONT font = status_text_font(window, text))
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowTextW(control, widen(text).c_str());
}

ConnectionSettings shown_settings(const SetupUiState& state) {
    return state.saved_settings ? *state.saved_settings : default_settings();
}

void copy_connection_string(HWND window) {
    const ConnectionSettings settings = shown_settings(setup_state(window));
    auto copied =
        copy_to_clipboard(window, connection_string(settings, register_address(settings.bind)));
    if (!copied) {
        // Another program may hold the clipboard: the operator must not paste an old text
        // believing it is the connection string.
        set_status_line(window, StatusKind::error, first_line(copied.error()));
        window_message(window, copied.error(), MB_ICONERROR);
        return;
    }
    set_status_line(window, StatusKind::success,
                    tr("Connection string copied", "连接字符串已复制"));
}

void install_or_uninstall(HWND window) {
    if (setup_state(window).shown_status == ServiceStatus::NotInstalled) {
        start_job(window, job::Install{});
        return;
    }
    if (cut_off_confirmed(window, CutOff::uninstall) &&
        window_message(window, uninstall_question(data_root()),
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES)
        start_job(window, job::Uninstall{});
}

void open_port(HWND window) {
    start_job(window, job::OpenPort{shown_settings(setup_state(window)).port});
}

void take_diagnosis_action(HWND window) {
    const SetupUiState& state = setup_state(window);
    switch (state.diagnosis_action) {
    case DiagnosisAction::end_stray:
        if (state.shown_diagnosis)
            start_job(window, job::EndStrayServer{state.shown_diagnosis->pid});
        return;
    case DiagnosisAction::repair_rights:
        start_job(window, job::RepairRights{});
        return;
    case DiagnosisAction::open_drive:
        if (state.shown_diagnosis) shell_open(state.shown_diagnosis->drive + "\\");
        return;
    case DiagnosisAction::set_aside_option:
        if (state.shown_diagnosis)
            start_job(window, job::SetAsideOption{state.shown_diagnosis->subject});
        return;
    case DiagnosisAction::rebuild:
        offer_rebuild(window, std::nullopt, "");
        return;
    case DiagnosisAction::other_port: // the Connection page's, done by the frame
    case DiagnosisAction::none:
        return;
    }
}

} // namespace

HFONT status_text_font(HWND window, std::string_view text) {
    const SetupUiState& state = setup_state(window);
    HWND control = GetDlgItem(window, id::status_text);
    if (!control || !state.fonts) return nullptr;
    const std::wstring units = widen(text);
    RECT area{};
    GetClientRect(control, &area);
    WindowDc dc(control);
    const HFONT candidates[] = {state.fonts->status.get(), state.fonts->section.get()};
    for (HFONT font : candidates) {
        SelectedObject with_font(dc.get(), font);
        SIZE extent{};
        GetTextExtentPoint32W(dc.get(), units.c_str(), static_cast<int>(units.size()), &extent);
        if (extent.cx <= area.right) return font;
    }
    return state.fonts->body.get();
}

void create_overview_controls(HWND window) {
    // Centred on the dot's height whichever font show_status_text chooses.
    create_control(window, {.class_name = static_class,
                            .style = label_style | SS_CENTERIMAGE,
                            .place = {280, 94, 464, 30},
                            .id = id::status_text});
    create_label(window, id::detail_line, "", {280, 126, 464, 20});
    create_overview_note_controls(window);
    create_button(window, id::start_button, tr("Start", "启动"), {256, 158, 100, 30});
    create_button(window, id::stop_button, tr("Stop", "停止"), {364, 158, 100, 30});
    create_button(window, id::restart_button, tr("Restart", "重新启动"), {472, 158, 120, 30});
    create_control(window, {.class_name = button_class,
                            .text = install_button_text(setup_state(window).shown_status),
                            .style = WS_TABSTOP | BS_OWNERDRAW,
                            .place = {604, 158, 140, 30},
                            .id = id::install_button});
    create_label(window, id::connection_heading,
                 tr("Connection for the registers", "收银机连接信息"), {256, 232, 300, 24});
    create_button(window, id::copy_connection_string,
                  tr("Copy connection string", "复制连接字符串"), {564, 228, 180, 30});
    // Under the copy button, so that the fields keep the left column to themselves.
    create_button(window, id::test_connection, tr("Test connection", "测试连接"),
                  {564, 264, 180, 30});
    for (const InfoRow& row : info_rows) {
        create_label(window, 0, tr(row.english, row.chinese), {256, row.label_y, 130, 20});
        create_control(window, {.class_name = edit_class,
                                .style = field_style,
                                .place = {396, row.field_y, 160, 22},
                                .id = row.field_id});
    }
    create_button(window, id::show_password_overview, tr("Show", "显示"), {566, 372, 80, 30});
    create_label(window, id::connected_line, "", {256, 408, 488, 20});
    // Two lines high and wrapping: beside the Open port button the closed-port sentence is
    // longer than the card is wide in every language.
    create_control(window, {.class_name = static_class,
                            .style = SS_NOPREFIX,
                            .place = {256, 464, 338, 40},
                            .id = id::firewall_line});
    create_button(window, id::open_port_button, tr("Open port", "开放端口"), {604, 469, 140, 30});
}

void refresh_overview(HWND window, const ServiceView& service) {
    SetupUiState& state = setup_state(window);
    const ServiceStatus status = service.status;
    const StartType start_type = service.start_type;
    const ServiceStatus previous = std::exchange(state.shown_status, status);
    const ConnectionSettings settings = shown_settings(state);
    const std::string server = register_address(settings.bind);
    const bool on_page = state.current_page == page::overview;

    show_status_text(window, status_text(status));
    set_text(window, id::detail_line, detail_line(status, configured_port(), server, start_type));
    // A running server has started since the failure that the diagnosis explains, whoever
    // started it (Windows at boot, the Services console): the diagnosis is past.
    std::optional<Diagnosis> diagnosis;
    if (status == ServiceStatus::Running)
        clear_diagnosis();
    else
        diagnosis = current_diagnosis(false);
    state.diagnosis_action = current_action(diagnosis);
    state.shown_diagnosis = diagnosis;
    show_overview_notes(
        window,
        overview_notes(diagnosis, status, state.rotation_task_present, state.backup_task_present),
        diagnosis_action_text(state.diagnosis_action));

    const ServiceButtons buttons = service_buttons(status);
    if (on_page) {
        for (int control : {id::start_button, id::stop_button, id::restart_button})
            show_control(window, control, buttons.shown);
        show_control(window, id::install_button, true);
    }
    set_text(window, id::install_button, install_button_text(status));
    if (status != previous) repaint_control(window, id::install_button);
    enable_control(window, id::start_button, buttons.start);
    enable_control(window, id::stop_button, buttons.stop);
    enable_control(window, id::restart_button, buttons.restart);

    set_text(window, id::server_field, server);
    set_text(window, id::port_field, std::to_string(settings.port));
    set_text(window, id::database_field, settings.database);
    set_text(window, id::user_field, settings.user);
    set_text(window, id::password_field,
             password_display(settings.password, state.password_visible));
    set_text(window, id::show_password_overview,
             state.password_visible ? tr("Hide", "隐藏") : tr("Show", "显示"));

    show_connected_clients(window);

    set_text(window, id::firewall_line,
             state.firewall_unknown ? std::string(firewall_unknown_line())
                                    : firewall_line(state.firewall_open, settings.port));
    if (on_page)
        show_control(window, id::open_port_button, open_port_offered(status, state.firewall_open));

    if (status != previous && on_page) {
        const RECT dot_area = status_dot_area_rect(state.scale);
        InvalidateRect(window, &dot_area, TRUE);
    }
}

void show_connected_clients(HWND window) {
    set_text(window, id::connected_line, connected_line(setup_state(window).clients));
}

bool handle_overview_command(HWND window, int control_id) {
    switch (control_id) {
    case id::start_button:
        start_job(window, job::Start{});
        return true;
    case id::stop_button:
        if (cut_off_confirmed(window, CutOff::stop)) start_job(window, job::Stop{});
        return true;
    case id::restart_button:
        if (cut_off_confirmed(window, CutOff::restart)) start_job(window, job::Restart{});
        return true;
    case id::install_button:
        install_or_uninstall(window);
        return true;
    case id::copy_connection_string:
        copy_connection_string(window);
        return true;
    case id::test_connection:
        start_job(window, job::CheckConnection{});
        return true;
    case id::open_port_button:
        open_port(window);
        return true;
    case id::diagnosis_action:
        take_diagnosis_action(window);
        return true;
    default:
        return false;
    }
}
