#include "setup/backup_page_automatic.h"

#include "base/text.h"
#include "i18n/tr.h"
#include "jobs/jobs.h"
#include "setup/busy.h"
#include "setup/control_ids.h"
#include "setup/controls.h"
#include "setup/frame.h"
#include "setup/state.h"
#include "svc/backup_state.h"
#include "ui/folder_dialog.h"

namespace {

constexpr int label_x = 256;
constexpr int label_width = 64;
constexpr int field_x = 324;
constexpr int path_width = 324;
constexpr int browse_x = 656;
constexpr int switch_y = 212;
constexpr int time_y = 210;
constexpr int folder_y = 240;
constexpr int copy_y = 268;

HWND create_field(HWND window, int control_id, ControlPlace place, DWORD style = 0) {
    return create_control(window, {.class_name = edit_class,
                                   .style = WS_TABSTOP | ES_AUTOHSCROLL | style,
                                   .extended_style = WS_EX_CLIENTEDGE,
                                   .place = place,
                                   .id = control_id,
                                   .kind = ControlKind::edit});
}

// The switch's label is short: the time and the number kept follow it on the same line.
void create_switch(HWND window) {
    create_control(window, {.class_name = button_class,
                            .style = BS_AUTOCHECKBOX | WS_TABSTOP,
                            .place = {label_x, switch_y, 18, 24},
                            .id = id::automatic_box,
                            .kind = ControlKind::button});
    create_control(window, {.class_name = static_class,
                            .text = tr("Every day at", "每天"),
                            .style = SS_NOTIFY | SS_ENDELLIPSIS,
                            .place = {280, switch_y + 3, 104, 20},
                            .id = id::automatic_box + id::checkbox_label_offset});
}

bool dirty(HWND window) {
    const SetupUiState& state = setup_state(window);
    return state.saved_backup && read_automatic_backup(window) != *state.saved_backup;
}

void offer_save(HWND window) {
    const bool offered = dirty(window) && !setup_state(window).busy;
    enable_control(window, id::automatic_save, offered);
    enable_control(window, id::automatic_undo, offered);
}

void save(HWND window) {
    BackupSettings wanted = read_automatic_backup(window);
    if (auto valid = validate_backup_settings(wanted); !valid) {
        set_status_line(window, StatusKind::error, valid.error());
        return;
    }
    start_job(window, job::SaveBackupSettings{std::move(wanted)});
}

void browse(HWND window, int field_id) {
    const std::string title(field_id == id::copy_to_edit
                                ? tr("Copy the backups to this folder", "把备份复制到这个文件夹")
                                : tr("Keep the backups in this folder", "把备份保存在这个文件夹"));
    if (auto chosen = folder_dialog(window, title, get_text(window, field_id)))
        set_text(window, field_id, *chosen);
}

} // namespace

void create_automatic_backup_controls(HWND window) {
    create_label(window, id::automatic_heading, tr("Automatic backup", "自动备份"),
                 {256, 182, 280, 24});
    create_button(window, id::automatic_backup_now, tr("Back up now", "立即备份"),
                  {564, 180, 180, 28});
    create_switch(window);
    create_field(window, id::backup_time_edit, {388, time_y, 56, 24});
    create_label(window, id::backups_kept_label, tr("Copies kept", "保留份数"),
                 {456, switch_y + 3, 96, 20});
    create_field(window, id::backups_kept_edit, {556, time_y, 44, 24}, ES_NUMBER);
    create_button(window, id::automatic_undo, tr("Undo", "撤销"), {606, 208, 64, 28});
    create_button(window, id::automatic_save, tr("Save", "保存"), {674, 208, 70, 28});
    create_label(window, id::backup_folder_label, tr("Folder", "文件夹"),
                 {label_x, folder_y + 4, label_width, 20});
    create_field(window, id::backup_folder_edit, {field_x, folder_y, path_width, 24});
    create_button(window, id::backup_folder_browse, tr("Browse...", "浏览…"),
                  {browse_x, folder_y - 1, 88, 26});
    create_label(window, id::copy_to_label, tr("Copy to", "复制到"),
                 {label_x, copy_y + 4, label_width, 20});
    create_field(window, id::copy_to_edit, {field_x, copy_y, path_width, 24});
    create_button(window, id::copy_to_browse, tr("Browse...", "浏览…"),
                  {browse_x, copy_y - 1, 88, 26});
    create_text(window, id::automatic_result, "", {256, 298, 488, 20}, SS_ENDELLIPSIS);
}

void load_automatic_backup(HWND window) {
    const BackupSettings settings = load_backup_settings();
    setup_state(window).saved_backup = settings;
    CheckDlgButton(window, id::automatic_box, settings.enabled ? BST_CHECKED : BST_UNCHECKED);
    set_text(window, id::backup_time_edit, settings.time);
    set_text(window, id::backups_kept_edit, std::to_string(settings.keep));
    set_text(window, id::backup_folder_edit, settings.folder);
    set_text(window, id::copy_to_edit, settings.copy_to);
    offer_save(window);
}

void refresh_automatic_backup(HWND window) {
    std::string line(tr("No automatic backup yet", "还没有自动备份"));
    if (const auto run = load_backup_run()) {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        line = automatic_backup_line(*run, now);
    }
    set_text(window, id::automatic_result, line);
    enable_control(window, id::automatic_backup_now,
                   setup_state(window).shown_status == ServiceStatus::Running);
}

BackupSettings read_automatic_backup(HWND window) {
    return {.enabled = IsDlgButtonChecked(window, id::automatic_box) == BST_CHECKED,
            .time = get_text(window, id::backup_time_edit),
            .keep = parse_u16(get_text(window, id::backups_kept_edit)).value_or(0),
            .folder = get_text(window, id::backup_folder_edit),
            .copy_to = get_text(window, id::copy_to_edit)};
}

bool handle_automatic_backup_command(HWND window, int control_id) {
    switch (control_id) {
    case id::automatic_backup_now:
        start_job(window, job::AutoBackup{});
        return true;
    case id::automatic_save:
        save(window);
        return true;
    case id::automatic_undo:
        load_automatic_backup(window);
        set_status_line(window, StatusKind::neutral, "");
        return true;
    case id::backup_folder_browse:
        browse(window, id::backup_folder_edit);
        return true;
    case id::copy_to_browse:
        browse(window, id::copy_to_edit);
        return true;
    case id::automatic_box:
        offer_save(window);
        return true;
    default:
        return false;
    }
}

bool on_automatic_backup_change(HWND window, int control_id, int code) {
    if (code != EN_CHANGE || control_id < id::backup_time_edit || control_id > id::copy_to_edit)
        return false;
    offer_save(window);
    return true;
}
