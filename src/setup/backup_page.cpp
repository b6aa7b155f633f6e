#include "setup/backup_page.h"

#include "base/files.h"
#include "base/local_time.h"
#include "base/registry.h"
#include "base/text.h"
#include "config/settings.h"
#include "i18n/tr.h"
#include "instance/paths.h"
#include "jobs/jobs.h"
#include "setup/backup_page_automatic.h"
#include "setup/backup_texts.h"
#include "setup/busy.h"
#include "setup/clients_watch.h"
#include "setup/control_ids.h"
#include "setup/controls.h"
#include "setup/frame.h"
#include "setup/state.h"
#include "svc/auto_backup.h"
#include "svc/restore_journal.h"
#include "svc/dump_list.h"
#include "ui/file_dialog.h"
#include "ui/shell_open.h"

namespace {

constexpr std::string_view last_backup_value = "LastBackup";
constexpr std::size_t last_backup_units = 1024;

std::string_view restore_hint_text() {
    return tr("Replace the current database with a .sql backup. The current data is saved "
              "automatically first.",
              "用 .sql 备份覆盖当前数据库。恢复前会自动把当前数据另存一份。");
}

void back_up_now(HWND window) {
    const std::optional<ConnectionSettings> stored = load_settings();
    const std::string database = stored ? stored->database : ConnectionSettings{}.database;
    const std::optional<std::string> path =
        file_dialog(window, true, proposed_backup_name(database, local_timestamp()));
    if (!path) return;
    start_job(window, job::Backup{*path});
}

// The questions before anything is replaced, the registers connected first; true for Yes.
bool restore_confirmed(HWND window) {
    if (!cut_off_confirmed(window, CutOff::restore)) return false;
    const std::string_view question =
        tr("Restoring replaces ALL current data in the database with the backup.\nThe current "
           "data is saved automatically first.\n\nContinue?",
           "恢复会用备份覆盖数据库里的全部现有数据（恢复前会先自动备份一份当前数据）。\n\n继续吗"
           "？");
    return window_message(window, question, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void restore_from_backup(HWND window) {
    const std::optional<std::string> path = file_dialog(window, false, "");
    if (!path || !restore_confirmed(window)) return;
    start_job(window, job::Restore{*path});
}

void restore_listed(HWND window) {
    const LRESULT chosen = SendDlgItemMessageW(window, id::automatic_dump_list, CB_GETCURSEL, 0, 0);
    const std::vector<std::string>& dumps = setup_state(window).listed_dumps;
    if (chosen < 0 || static_cast<std::size_t>(chosen) >= dumps.size()) return;
    const std::string path = dumps[static_cast<std::size_t>(chosen)];
    if (!restore_confirmed(window)) return;
    start_job(window, job::Restore{path});
}

// One click and the usual question put back the data from before a restore that was cut off.
void put_back_interrupted(HWND window) {
    const std::optional<InterruptedRestore> interrupted = setup_state(window).interrupted_restore;
    if (!interrupted || !restore_confirmed(window)) return;
    start_job(window, job::Restore{interrupted->safety_dump});
}

// The dumps the automatic backup listed that are still as it made them, newest first, by their
// time and size; the newest is chosen. Any other file is for Restore from backup.
void fill_dump_list(HWND window) {
    HWND list = GetDlgItem(window, id::automatic_dump_list);
    if (!list) return;
    SetupUiState& state = setup_state(window);
    state.listed_dumps.clear();
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    const std::optional<DumpList> stored = load_dump_list();
    if (!stored) return;
    for (const ListedDump& dump : dumps_as_made(*stored)) {
        const std::wstring label = widen(dump_list_label(dump.time, dump.size));
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label.c_str()));
        state.listed_dumps.push_back(dump.path);
    }
    if (!state.listed_dumps.empty()) SendMessageW(list, CB_SETCURSEL, 0, 0);
}

// The safety dumps hold the whole database: a folder made here gets the same access list as
// when a restore makes it, or a later restore would write into a folder every user can read.
void open_safety_backups() {
    const std::string folder = backups_dir();
    (void)create_private_directories(folder);
    shell_open(folder);
}

} // namespace

void create_backup_controls(HWND window) {
    create_label(window, id::backup_heading, tr("Back up", "备份"), {256, 78, 280, 24});
    create_text(window, id::backup_hint,
                tr("Export the whole database to a .sql file that you can keep on a USB drive or "
                   "another computer.",
                   "把整个数据库导出成一个 .sql 文件，可以存到 U 盘或其他电脑上。"),
                {256, 100, 292, 34});
    create_text(window, id::last_backup_line, "", {256, 134, 488, 20}, SS_PATHELLIPSIS);
    create_button(window, id::backup_now, tr("Back up now...", "立即备份…"), {564, 78, 180, 30});
    create_automatic_backup_controls(window);
    create_label(window, id::restore_heading, tr("Restore", "恢复"), {256, 350, 280, 24});
    create_text(window, id::restore_hint, restore_hint_text(), {256, 374, 292, 34});
    create_button(window, id::restore_from_backup, tr("Restore from backup...", "从备份恢复…"),
                  {564, 350, 180, 30});
    create_button(window, id::open_safety_backups, tr("Open safety backups", "打开安全备份文件夹"),
                  {564, 384, 180, 28});
    // The automatic backups, newest first, to restore one without looking for its file.
    create_control(window, {.class_name = combo_class,
                            .style = WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST,
                            .place = {256, 416, 292, 200},
                            .id = id::automatic_dump_list,
                            .kind = ControlKind::combo});
    create_button(window, id::restore_listed, tr("Restore this backup", "恢复这个备份"),
                  {564, 414, 180, 28});
    create_label(window, id::data_location_heading, tr("Data location", "数据位置"),
                 {256, 458, 280, 24});
    create_text(window, id::data_location, data_root(), {256, 480, 292, 20}, SS_PATHELLIPSIS);
    create_button(window, id::open_data_folder, tr("Open folder", "打开文件夹"),
                  {564, 462, 180, 30});
}

void load_backup_page(HWND window) {
    load_automatic_backup(window);
    fill_dump_list(window);
}

// While a restore is cut off, the hint names its safety dump and the safety folder's button puts
// that dump back.
void show_interrupted_restore(HWND window) {
    SetupUiState& state = setup_state(window);
    state.interrupted_restore = interrupted_restore();
    if (state.interrupted_restore) {
        set_text(window, id::restore_hint,
                 interrupted_restore_hint(state.interrupted_restore->safety_dump));
        set_text(window, id::open_safety_backups, tr("Put back the data", "放回原数据"));
        return;
    }
    set_text(window, id::restore_hint, restore_hint_text());
    set_text(window, id::open_safety_backups, tr("Open safety backups", "打开安全备份文件夹"));
}

void refresh_backup_page(HWND window) {
    set_text(window, id::last_backup_line,
             last_backup_line(read_string(HKEY_CURRENT_USER, program_key, last_backup_value,
                                          last_backup_units)));
    show_interrupted_restore(window);
    // A dump needs a server that accepts connections; a restore starts a stopped one first.
    const ServiceStatus status = setup_state(window).shown_status;
    const bool running = status == ServiceStatus::Running;
    const bool installed = status != ServiceStatus::NotInstalled;
    enable_control(window, id::backup_now, running);
    enable_control(window, id::restore_from_backup, installed);
    enable_control(window, id::open_safety_backups,
                   installed || !setup_state(window).interrupted_restore);
    enable_control(window, id::restore_listed,
                   installed && !setup_state(window).listed_dumps.empty());
    refresh_automatic_backup(window);
}

bool handle_backup_command(HWND window, int control_id) {
    switch (control_id) {
    case id::backup_now:
        back_up_now(window);
        return true;
    case id::restore_from_backup:
        restore_from_backup(window);
        return true;
    case id::restore_listed:
        restore_listed(window);
        return true;
    case id::open_safety_backups:
        if (setup_state(window).interrupted_restore)
            put_back_interrupted(window);
        else
            open_safety_backups();
        return true;
    case id::open_data_folder:
        open_data_folder();
        return true;
    default:
        return handle_automatic_backup_command(window, control_id);
    }
}
