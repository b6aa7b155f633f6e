#include "setup/connection_page.h"

#include "base/text.h"
#include "config/addresses.h"
#include "config/validation.h"
#include "i18n/tr.h"
#include "jobs/jobs.h"
#include "setup/busy.h"
#include "setup/clients_watch.h"
#include "setup/control_ids.h"
#include "setup/controls.h"
#include "setup/frame.h"
#include "setup/server_ip_choices.h"
#include "setup/state.h"
#include "svc/apply.h"
#include "svc/myini.h"

#include <string>
#include <utility>

namespace {

constexpr std::size_t generated_password_length = 16;
constexpr int label_x = 256;
constexpr int label_width = 134;
constexpr int label_height = 20;
constexpr int label_drop = 5; // labels sit 5 units below the top of their field
constexpr int field_x = 396;
constexpr int field_width = 200;
constexpr int field_height = 28;
constexpr int server_ip_list_width = 348;
constexpr int firewall_box_y = 332;

struct FieldRow {
    std::string_view english;
    std::string_view chinese;
    int field_id;
    int y;
    DWORD extra_style;
};

// In tab order: the order in which the operator reads the page.
constexpr FieldRow field_rows[] = {
    {"Port", "端口", id::port_edit, 130, ES_NUMBER},
    {"Database", "数据库", id::database_edit, 170, 0},
    {"User", "用户名", id::user_edit, 210, 0},
    {"Password", "密码", id::password_edit, 250, ES_PASSWORD},
    {"Allowed host", "允许连接的主机", id::host_edit, 290, 0},
};

void create_field(HWND window, const FieldRow& row) {
    create_label(window, 0, tr(row.english, row.chinese),
                 {label_x, row.y + label_drop, label_width, label_height});
    create_control(window, {.class_name = edit_class,
                            .style = WS_TABSTOP | ES_AUTOHSCROLL | row.extra_style,
                            .extended_style = WS_EX_CLIENTEDGE,
                            .place = {field_x, row.y, field_width, field_height},
                            .id = row.field_id,
                            .kind = ControlKind::edit});
}

void set_check(HWND window, int control_id, bool checked) {
    CheckDlgButton(window, control_id, checked ? BST_CHECKED : BST_UNCHECKED);
}

// Save and Undo are offered only with unsaved changes and no job running; Save also waits until
// netsh has answered: before that it would take the box's stand-in value for the operator's
// choice, and close the port.
void offer_save(HWND window) {
    const SetupUiState& state = setup_state(window);
    const bool offered = connection_dirty(window) && !state.busy;
    const bool answered = state.firewall_open.has_value() || state.firewall_unknown;
    enable_control(window, id::save_button, offered && answered);
    enable_control(window, id::undo_button, offered);
}

void refuse(HWND window, std::string_view message) {
    set_text(window, id::validation_message, message);
}

// The port field must hold a number before any other rule is asked: "3,307" pasted past
// ES_NUMBER would otherwise read as 0 and draw the range message, which points nowhere.
bool port_field_holds_a_number(HWND window) {
    if (parse_u16(get_text(window, id::port_edit))) return true;
    refuse(window, tr("Port must be a number (1024 - 65535)", "端口必须是数字（1024 - 65535）"));
    SetFocus(GetDlgItem(window, id::port_edit));
    return false;
}

std::string firewall_question(std::uint16_t port) {
    return std::string(tr("Windows Firewall will block port", "Windows 防火墙会挡住端口")) + " " +
           std::to_string(port) +
           std::string(tr(", so the other registers cannot connect to this database.\n\nOpen the "
                          "port in Windows Firewall now?",
                          "，其它收银机将连不上这个数据库。\n\n现在在 Windows "
                          "防火墙中开放这个端口吗？"));
}

void save(HWND window) {
    ConnectionSettings wanted = read_connection_page(window);
    if (!port_field_holds_a_number(window)) return;
    if (auto valid = validate_settings(wanted); !valid) return refuse(window, valid.error());
    if (auto owned = check_bind_address(wanted.bind); !owned) return refuse(window, owned.error());
    if (setup_state(window).shown_status != ServiceStatus::NotInstalled &&
        apply_restarts(load_settings(), wanted, written_port()) &&
        !cut_off_confirmed(window, CutOff::save))
        return;
    if (!wanted.firewall && window_message(window, firewall_question(wanted.port),
                                           MB_YESNO | MB_ICONQUESTION) == IDYES) {
        wanted.firewall = true;
        set_check(window, id::firewall_box, true);
    }
    start_job(window, job::Apply{std::move(wanted)});
}

} // namespace

void create_connection_controls(HWND window) {
    create_label(window, 0, tr("Server IP", "服务器 IP"), {label_x, 95, label_width, label_height});
    // As wide as the card allows, not as the fields: an address this computer lacks is listed
    // with "(not found on this computer)", which is wider than the fields in every language.
    create_control(window, {.class_name = combo_class,
                            .style = WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST,
                            .place = {field_x, 90, server_ip_list_width, 240},
                            .id = id::server_ip_list,
                            .kind = ControlKind::combo});
    for (const FieldRow& row : field_rows)
        create_field(window, row);
    create_button(window, id::show_password_connection, tr("Show", "显示"), {604, 249, 60, 30});
    create_button(window, id::generate_password, tr("Generate", "随机生成"), {670, 249, 74, 30});
    create_label(window, id::host_hint, tr("% = any computer", "% = 任何电脑"),
                 {604, 295, 140, 20});
    create_checkbox(window, id::firewall_box,
                    tr("Open the port in Windows Firewall for other registers",
                       "在 Windows 防火墙开放端口（其它收银机才能连接）"),
                    firewall_box_y);
    // Two lines: the allowed-host rule explains itself at length, in French most of all.
    create_text(window, id::validation_message, "", {256, 360, 488, 36});
    create_text(window, id::port_change_hint,
                tr("Changing the port or server IP restarts MySQL; the registers then have to "
                   "connect with the new settings.",
                   "修改端口或服务器 IP 会重启 MySQL，之后收银机要用新的信息连接。"),
                {256, 398, 488, 44});
    create_button(window, id::undo_button, tr("Undo changes", "撤销修改"), {516, 450, 120, 30});
    create_button(window, id::save_button, tr("Save", "保存"), {644, 450, 100, 30});
    show_connection_password(window);
}

void show_connection_password(HWND window) {
    const bool visible = setup_state(window).password_visible;
    if (HWND field = GetDlgItem(window, id::password_edit)) {
        SendMessageW(field, EM_SETPASSWORDCHAR, visible ? 0 : password_bullet, 0);
        InvalidateRect(field, nullptr, TRUE);
    }
    set_text(window, id::show_password_connection,
             visible ? tr("Hide", "隐藏") : tr("Show", "显示"));
}

void fill_generated_password(HWND window) {
    set_text(window, id::password_edit, random_password(generated_password_length));
}

void load_connection_page(HWND window, const ConnectionSettings& settings) {
    set_text(window, id::port_edit, std::to_string(settings.port));
    set_text(window, id::database_edit, settings.database);
    set_text(window, id::user_edit, settings.user);
    set_text(window, id::password_edit, settings.password);
    set_text(window, id::host_edit, settings.host);
    fill_server_ip_choices(window, settings.bind);
    set_check(window, id::firewall_box, settings.firewall);
    update_save_buttons(window);
}

void fill_server_ip_choices(HWND window, std::string_view bind) {
    HWND list = GetDlgItem(window, id::server_ip_list);
    if (!list) return;
    const std::vector<ServerIpChoice> choices = server_ip_choices(bind, local_ipv4_addresses());
    SetupUiState& state = setup_state(window);
    state.server_ip_values.clear();
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const ServerIpChoice& choice : choices) {
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(choice.label).c_str()));
        if (choice.value == bind)
            SendMessageW(list, CB_SETCURSEL, state.server_ip_values.size(), 0);
        state.server_ip_values.push_back(choice.value);
    }
}

ConnectionSettings read_connection_page(HWND window) {
    const SetupUiState& state = setup_state(window);
    const LRESULT selected = SendDlgItemMessageW(window, id::server_ip_list, CB_GETCURSEL, 0, 0);
    return {
        .port = parse_u16(get_text(window, id::port_edit)).value_or(0),
        .database = get_text(window, id::database_edit),
        .user = get_text(window, id::user_edit),
        .password = get_text(window, id::password_edit),
        .host = get_text(window, id::host_edit),
        .bind = chosen_bind(state.server_ip_values, selected),
        .firewall = IsDlgButtonChecked(window, id::firewall_box) == BST_CHECKED,
        .root_password = state.saved_settings ? state.saved_settings->root_password : "",
    };
}

bool connection_dirty(HWND window) {
    const SetupUiState& state = setup_state(window);
    return state.saved_settings && read_connection_page(window) != *state.saved_settings;
}

void update_save_buttons(HWND window) {
    offer_save(window);
    set_text(window, id::validation_message, "");
}

void take_firewall_state(HWND window, std::optional<bool> open) {
    SetupUiState& state = setup_state(window);
    if (!state.saved_settings) return;
    // When netsh could not tell, the stored choice stands in: reading "no answer" as "closed"
    // would have a Save, and a No to its question, delete a rule that is there.
    if (!open) {
        const std::optional<ConnectionSettings> stored = load_settings();
        open = stored ? stored->firewall : state.saved_settings->firewall;
    }
    const bool before = std::exchange(state.saved_settings->firewall, *open);
    if (IsDlgButtonChecked(window, id::firewall_box) == (before ? BST_CHECKED : BST_UNCHECKED))
        set_check(window, id::firewall_box, *open);
    // The validation message stays: it speaks of what the operator typed.
    offer_save(window);
}

std::optional<ConnectionSettings> unsaved_connection_edits(HWND window) {
    if (!connection_dirty(window)) return std::nullopt;
    return read_connection_page(window);
}

bool handle_connection_command(HWND window, int control_id) {
    switch (control_id) {
    case id::save_button:
        save(window);
        return true;
    case id::firewall_box:
        update_save_buttons(window);
        return true;
    default:
        return false;
    }
}

void on_connection_change(HWND window, int, int) {
    update_save_buttons(window);
}
