#include "setup/general_page.h"

#include "base/local_time.h"
#include "base/machine.h"
#include "base/text.h"
#include "i18n/language.h"
#include "i18n/language_list.h"
#include "i18n/tr.h"
#include "instance/paths.h"
#include "jobs/jobs.h"
#include "setup/busy.h"
#include "setup/control_ids.h"
#include "setup/controls.h"
#include "setup/frame.h"
#include "svc/support_file.h"
#include "ui/file_dialog.h"
#include "ui/logon.h"
#include "ui/shell_open.h"

namespace {

constexpr int start_with_windows_y = 116;
constexpr int tray_at_logon_y = 144;
constexpr std::string_view notepad = "notepad.exe";

bool is_checked(HWND window, int control_id) {
    return IsDlgButtonChecked(window, control_id) == BST_CHECKED;
}

// Only a real change is sent: the refresh asks every two seconds.
void set_check(HWND window, int control_id, bool checked) {
    if (is_checked(window, control_id) != checked)
        CheckDlgButton(window, control_id, checked ? BST_CHECKED : BST_UNCHECKED);
}

// The stored choice, or no selection when the stored text is none of the codes.
void select_stored_language(HWND window) {
    const std::optional<std::size_t> row = language_row(read_language_setting());
    SendDlgItemMessageW(window, id::language_list, CB_SETCURSEL,
                        row ? static_cast<WPARAM>(*row) : static_cast<WPARAM>(-1), 0);
}

void create_language_list(HWND window) {
    HWND list = create_control(window, {.class_name = combo_class,
                                        .style = WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST,
                                        .place = {544, 203, 200, 240},
                                        .id = id::language_list,
                                        .kind = ControlKind::combo});
    if (!list) return;
    for (const LanguageChoice& choice : language_choices())
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(choice.name).c_str()));
    select_stored_language(window);
}

void start_with_windows(HWND window) {
    start_job(window, job::StartType{is_checked(window, id::start_with_windows_box)});
}

void tray_icon_at_logon(HWND window) {
    if (auto switched = set_run_at_logon(is_checked(window, id::tray_at_logon_box)); !switched)
        window_message(window, switched.error(), MB_ICONERROR);
}

// Notepad by its full path: this process is elevated and must not start a notepad.exe that
// happens to lie in its current folder.
void open_error_log() {
    std::string quoted_path(1, '"');
    quoted_path += error_log_path();
    quoted_path += '"';
    shell_open(windows_program_path(notepad), quoted_path);
}

// The zip the operator mails to the helpdesk, where they choose, named after this computer and
// the time.
void choose_and_save_support_file(HWND window) {
    const std::optional<std::string> path =
        support_file_dialog(window, support_file_name(computer_name(), local_timestamp()));
    if (!path) return;
    start_job(window, job::SupportFile{*path});
}

} // namespace

std::string about_line() {
    return std::string(program_caption) + "  " + std::string(tr("Version", "版本")) + " " +
           display_version();
}

void create_general_controls(HWND window) {
    create_label(window, id::startup_heading, tr("Startup", "启动"), {256, 86, 280, 24});
    create_checkbox(window, id::start_with_windows_box,
                    tr("Start MySQL with Windows", "MySQL 随 Windows 自动启动"),
                    start_with_windows_y);
    create_checkbox(window, id::tray_at_logon_box,
                    tr("Show tray icon at logon", "登录时显示托盘图标"), tray_at_logon_y);
    create_label(window, id::language_heading, tr("Language", "语言"), {256, 206, 200, 24});
    create_language_list(window);
    create_label(window, id::logs_heading, tr("Logs", "日志"), {256, 274, 280, 24});
    create_text(window, id::log_split_hint,
                tr("Error logs are split automatically at 10 MB; the last 5 are kept.",
                   "错误日志超过 10 MB 自动分隔，保留最近 5 份。"),
                {256, 302, 488, 20});
    create_button(window, id::open_error_log, tr("Open error log", "打开错误日志"),
                  {256, 326, 160, 30});
    create_button(window, id::log_folder, tr("Log folder", "日志文件夹"), {424, 326, 160, 30});
    create_button(window, id::save_support_file, tr("Save support file\u2026", "保存技术支持文件…"),
                  {592, 326, 152, 30});
    create_label(window, id::about_heading, tr("About", "关于"), {256, 390, 280, 24});
    create_label(window, id::about_line, about_line(), {256, 420, 488, 22});
    create_label(window, id::copyright_line, program_copyright, {256, 446, 488, 20});
}

void load_general_page(HWND window) {
    set_check(window, id::tray_at_logon_box, is_run_at_logon());
}

void refresh_general_page(HWND window, StartType start_type) {
    const bool known = start_type != StartType::undetermined;
    enable_control(window, id::start_with_windows_box, known);
    enable_control(window, id::start_with_windows_box + id::checkbox_label_offset, known);
    set_check(window, id::start_with_windows_box, start_type == StartType::automatic);
}

bool handle_general_command(HWND window, int control_id) {
    switch (control_id) {
    case id::start_with_windows_box:
        start_with_windows(window);
        return true;
    case id::tray_at_logon_box:
        tray_icon_at_logon(window);
        return true;
    case id::open_error_log:
        open_error_log();
        return true;
    case id::log_folder:
        open_data_folder();
        return true;
    case id::save_support_file:
        choose_and_save_support_file(window);
        return true;
    default:
        return false;
    }
}

void on_language_change(HWND window) {
    const LRESULT selected = SendDlgItemMessageW(window, id::language_list, CB_GETCURSEL, 0, 0);
    const auto choices = language_choices();
    if (selected >= static_cast<LRESULT>(choices.size())) return;
    const std::size_t row = selected < 0 ? 0 : static_cast<std::size_t>(selected);
    if (auto stored = set_language(std::string(choices[row].code)); !stored) {
        window_message(window, stored.error(), MB_ICONERROR);
        select_stored_language(window);
        return;
    }
    // The list that sent the notification is still inside its own code: it may be destroyed
    // only once that has returned.
    PostMessageW(window, MSG_REBUILD_CONTROLS, 0, 0);
}
