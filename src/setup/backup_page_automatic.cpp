#include "setup/backup_page_automatic.h"

#include "base/text.h"
#include "i18n/language.h"
#include "i18n/tr.h"
#include "instance/paths.h"
#include "jobs/jobs.h"
#include "setup/busy.h"
#include "setup/control_ids.h"
#include "setup/controls.h"
#include "setup/frame.h"
#include "setup/state.h"
#include "svc/backup_failures.h"
#include "svc/backup_state.h"
#include "ui/folder_dialog.h"

#include <commctrl.h>

#include <cstdio>

namespace {

constexpr int label_x = 256;
constexpr int label_width = 64;
constexpr int field_x = 324;
constexpr int path_width = 324;
constexpr int browse_x = 656;
constexpr int row_y = 204;
constexpr int folder_y = 232;
constexpr int copy_y = 260;
// The picker shows hours and minutes on the 24-hour clock, whatever the language: the form
// backup.ini keeps.
constexpr wchar_t time_format[] = L"HH':'mm";

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
                            .place = {label_x, row_y, 18, 24},
                            .id = id::automatic_box,
                            .kind = ControlKind::button});
    create_control(window, {.class_name = static_class,
                            .text = tr("Every day at", "每天"),
                            .style = SS_NOTIFY | SS_ENDELLIPSIS,
                            .place = {280, row_y + 3, 104, 20},
                            .id = id::automatic_box + id::checkbox_label_offset});
}

// The standard time picker: hours and minutes, changed with the arrow keys, typed digits or its
// up-down buttons, so that no time the backup cannot use is ever entered. It keeps its light
// look in the dark theme too (see control_colours).
void create_time_picker(HWND window) {
    HWND picker = create_control(window, {.class_name = DATETIMEPICK_CLASSW,
                                          .style = WS_TABSTOP | DTS_TIMEFORMAT,
                                          .extended_style = WS_EX_CLIENTEDGE,
                                          .place = {388, row_y - 2, 64, 26},
                                          .id = id::backup_time_picker,
                                          .kind = ControlKind::static_text});
    if (picker) SendMessageW(picker, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(time_format));
}

void set_time(HWND window, std::string_view time) {
    if (!is_time_of_day(time)) return;
    // A date is needed for a valid value; only the time of day is shown and read.
    SYSTEMTIME value{.wYear = 2000,
                     .wMonth = 1,
                     .wDay = 1,
                     .wHour = static_cast<WORD>((time[0] - '0') * 10 + (time[1] - '0')),
                     .wMinute = static_cast<WORD>((time[3] - '0') * 10 + (time[4] - '0'))};
    SendDlgItemMessageW(window, id::backup_time_picker, DTM_SETSYSTEMTIME, GDT_VALID,
                        reinterpret_cast<LPARAM>(&value));
}

std::string read_time(HWND window) {
    SYSTEMTIME value{};
    if (SendDlgItemMessageW(window, id::backup_time_picker, DTM_GETSYSTEMTIME, 0,
                            reinterpret_cast<LPARAM>(&value)) != GDT_VALID)
        return {};
    char text[8];
    std::snprintf(text, sizeof text, "%02u:%02u", value.wHour, value.wMinute);
    return text;
}

bool dirty(HWND window) {
    const SetupUiState& state = setup_state(window);
    return state.saved_backup && read_automatic_backup(window) != *state.saved_backup;
}

// Save writes a clean backup.ini also when nothing was changed, if the stored one could not be
// used.
void offer_save(HWND window) {
    const SetupUiState& state = setup_state(window);
    const bool offered = (dirty(window) || !state.backup_settings_problem.empty()) && !state.busy;
    enable_control(window, id::automatic_save, offered);
    enable_control(window, id::automatic_undo, dirty(window) && !state.busy);
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

void show_result(HWND window, const std::string& text, bool warned) {
    SetupUiState& state = setup_state(window);
    const PaletteEntry colour = warned ? transition_colour : normal_text;
    if (state.automatic_result_colour != colour) {
        state.automatic_result_colour = colour;
        repaint_control(window, id::automatic_result);
    }
    set_text(window, id::automatic_result, text);
}

// Why backup.ini cannot be used, for the card's one line: the file by its name (the page shows
// the data folder), so that the reason stays in view.
std::string settings_problem(const std::string& error) {
    std::string problem = translate_failure(error, current_language());
    const std::string path = backup_settings_path();
    if (problem.starts_with(path)) problem.replace(0, path.size(), "backup.ini");
    return problem;
}

} // namespace

void create_automatic_backup_controls(HWND window) {
    create_label(window, id::automatic_heading, tr("Automatic backup", "自动备份"),
                 {256, 174, 260, 24});
    create_button(window, id::automatic_backup_now,
                  tr("Run automatic backup now", "立即运行自动备份"), {524, 172, 220, 28});
    create_switch(window);
    create_time_picker(window);
    create_label(window, id::backups_kept_label, tr("Copies kept", "保留份数"),
                 {460, row_y + 3, 92, 20});
    create_field(window, id::backups_kept_edit, {556, row_y, 44, 24}, ES_NUMBER);
    create_button(window, id::automatic_undo, tr("Undo", "撤销"), {606, row_y - 2, 64, 28});
    create_button(window, id::automatic_save, tr("Save", "保存"), {674, row_y - 2, 70, 28});
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
    // The nightly task runs as the system account: on a share, that is the computer's account.
    create_label(window, id::network_share_hint,
                 tr("A network folder needs write rights for this computer's account.",
                    "网络文件夹需要给这台电脑的计算机账户写入权限。"),
                 {256, 288, 488, 20});
    create_text(window, id::automatic_result, "", {256, 310, 488, 20}, SS_ENDELLIPSIS);
}

void load_automatic_backup(HWND window) {
    const Result<BackupSettings> loaded = load_backup_settings();
    SetupUiState& state = setup_state(window);
    state.backup_settings_problem = loaded ? std::string() : settings_problem(loaded.error());
    state.saved_backup = loaded.value_or(default_backup_settings());
    fill_automatic_backup(window, *state.saved_backup);
}

void fill_automatic_backup(HWND window, const BackupSettings& settings) {
    CheckDlgButton(window, id::automatic_box, settings.enabled ? BST_CHECKED : BST_UNCHECKED);
    set_time(window, settings.time);
    set_text(window, id::backups_kept_edit, std::to_string(settings.keep));
    set_text(window, id::backup_folder_edit, settings.folder);
    set_text(window, id::copy_to_edit, settings.copy_to);
    offer_save(window);
}

void refresh_automatic_backup(HWND window) {
    const SetupUiState& state = setup_state(window);
    enable_control(window, id::automatic_backup_now, state.shown_status == ServiceStatus::Running);
    if (!state.backup_settings_problem.empty()) {
        show_result(window, state.backup_settings_problem, true);
        return;
    }
    const BackupRun run = load_backup_run().value_or(BackupRun{});
    const std::string none(tr("No automatic backup yet", "还没有自动备份"));
    // Switched off, the backup is nobody's worry; without a server, neither is its task.
    if (!state.saved_backup || !state.saved_backup->enabled) {
        show_result(window, last_good_line(run).value_or(none), false);
        return;
    }
    const std::optional<bool> task = state.shown_status != ServiceStatus::NotInstalled
                                         ? state.backup_task_present
                                         : std::nullopt;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::optional<std::string> line = automatic_backup_line(run, task, now);
    show_result(window, line.value_or(none), backup_warning(run, task, now).has_value());
}

BackupSettings read_automatic_backup(HWND window) {
    return {.enabled = IsDlgButtonChecked(window, id::automatic_box) == BST_CHECKED,
            .time = read_time(window),
            .keep = parse_u16(get_text(window, id::backups_kept_edit)).value_or(0),
            .folder = get_text(window, id::backup_folder_edit),
            .copy_to = get_text(window, id::copy_to_edit)};
}

std::optional<BackupSettings> unsaved_automatic_edits(HWND window) {
    if (!dirty(window)) return std::nullopt;
    return read_automatic_backup(window);
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
    const bool picked =
        control_id == id::backup_time_picker && code == static_cast<int>(DTN_DATETIMECHANGE);
    const bool typed =
        code == EN_CHANGE && control_id >= id::backups_kept_edit && control_id <= id::copy_to_edit;
    if (!picked && !typed) return false;
    offer_save(window);
    return true;
}
