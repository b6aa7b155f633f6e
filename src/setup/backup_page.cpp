#include "setup/backup_page.h"

#include "app/jobs.h"
#include "base/files.h"
#include "base/local_time.h"
#include "base/registry.h"
#include "config/settings.h"
#include "i18n/tr.h"
#include "setup/backup_texts.h"
#include "setup/busy.h"
#include "setup/control_ids.h"
#include "setup/controls.h"
#include "setup/frame.h"
#include "setup/state.h"
#include "svc/paths.h"
#include "ui/file_dialog.h"
#include "ui/shell_open.h"

namespace {

constexpr std::string_view last_backup_value = "LastBackup";
constexpr std::size_t last_backup_units = 1024;

void back_up_now(HWND window) {
    const std::optional<ConnectionSettings> stored = load_settings();
    const std::string database = stored ? stored->database : ConnectionSettings{}.database;
    const std::optional<std::string> path =
        file_dialog(window, true, proposed_backup_name(database, local_timestamp()));
    if (!path) return;
    start_job(window, job::Backup{*path});
}

void restore_from_backup(HWND window) {
    const std::optional<std::string> path = file_dialog(window, false, "");
    if (!path) return;
    const int answer = window_message(
        window,
        tr("Restoring replaces ALL current data in the database with the backup.\nThe current "
           "data is saved automatically first.\n\nContinue?",
           "恢复会用备份覆盖数据库里的全部现有数据（恢复前会先自动备份一份当前数据）。\n\n继续吗"
           "？"),
        MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    if (answer != IDYES) return;
    start_job(window, job::Restore{*path});
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
    create_label(window, id::backup_heading, tr("Back up", "备份"), {256, 88, 280, 24});
    create_text(window, id::backup_hint,
                tr("Export the whole database to a .sql file that you can keep on a USB drive or "
                   "another computer.",
                   "把整个数据库导出成一个 .sql 文件，可以存到 U 盘或其他电脑上。"),
                {256, 116, 292, 40});
    create_text(window, id::last_backup_line, "", {256, 160, 488, 20}, SS_PATHELLIPSIS);
    create_button(window, id::backup_now, tr("Back up now...", "立即备份…"), {564, 88, 180, 30});
    create_label(window, id::restore_heading, tr("Restore", "恢复"), {256, 220, 280, 24});
    create_text(window, id::restore_hint,
                tr("Replace the current database with a .sql backup. The current data is saved "
                   "automatically first.",
                   "用 .sql 备份覆盖当前数据库。恢复前会自动把当前数据另存一份。"),
                {256, 248, 292, 40});
    create_button(window, id::restore_from_backup, tr("Restore from backup...", "从备份恢复…"),
                  {564, 220, 180, 30});
    create_button(window, id::open_safety_backups, tr("Open safety backups", "打开安全备份文件夹"),
                  {256, 298, 200, 30});
    create_label(window, id::data_location_heading, tr("Data location", "数据位置"),
                 {256, 372, 280, 24});
    create_text(window, id::data_location, data_root(), {256, 406, 292, 20}, SS_PATHELLIPSIS);
    create_button(window, id::open_data_folder, tr("Open folder", "打开文件夹"),
                  {564, 400, 180, 30});
}

void refresh_backup_page(HWND window) {
    set_text(window, id::last_backup_line,
             last_backup_line(read_string(HKEY_CURRENT_USER, program_key, last_backup_value,
                                          last_backup_units)));
    // Both the dump and the restore talk to a server that accepts connections.
    const bool running = setup_state(window).shown_status == ServiceStatus::Running;
    enable_control(window, id::backup_now, running);
    enable_control(window, id::restore_from_backup, running);
}

bool handle_backup_command(HWND window, int control_id) {
    switch (control_id) {
    case id::backup_now:
        back_up_now(window);
        return true;
    case id::restore_from_backup:
        restore_from_backup(window);
        return true;
    case id::open_safety_backups:
        open_safety_backups();
        return true;
    case id::open_data_folder:
        open_data_folder();
        return true;
    default:
        return false;
    }
}

void open_data_folder() {
    const std::string folder = data_root();
    (void)create_directories(folder);
    shell_open(folder);
}
