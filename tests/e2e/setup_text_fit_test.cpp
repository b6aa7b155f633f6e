// Every text of the Setup window fits its control in every language: the controls keep one size
// for all four languages, so a longer translation would be cut off or lose its last line. Each
// text is measured with the control's own font against the control's own rectangle.
#include "setup_in_process.h"

#include "base/fill_in.h"
#include "base/handles.h"
#include "base/text.h"
#include "config/validation.h"
#include "i18n/language.h"
#include "i18n/tr.h"
#include "jobs/mode_texts.h"
#include "setup/control_ids.h"
#include "setup/backup_texts.h"
#include "setup/controls.h"
#include "setup/diagnosis_actions.h"
#include "setup/frame.h"
#include "setup/geometry.h"
#include "setup/overview_notes.h"
#include "svc/myini.h"
#include "setup/overview_page.h"
#include "setup/overview_texts.h"
#include "setup/page_names.h"
#include "setup/pages.h"
#include "setup/server_ip_choices.h"
#include "svc/backup_failures.h"
#include "svc/backup_state.h"
#include "svc/diagnosis.h"
#include "svc/start_failure.h"

#include <gtest/gtest.h>

#include <map>

using namespace e2e;

namespace {

// A push button draws its text inside its edge and focus rectangle: this much room on each side
// keeps the text off them.
constexpr int button_padding = 6;
// The text of a drop-down list starts a little inside its edge.
constexpr int list_padding = 4;

enum class Fit { none, button, line, wrapped, list };

// The safety dump of a restore that was cut off, with the longest name it can have.
constexpr std::string_view safety_dump =
    "C:\\ProgramData\\KELTA Retail\\MySQL\\backups\\before-restore_20260301_184502-99.sql";

Fit fit_of(HWND control) {
    wchar_t class_name[32] = {};
    GetClassNameW(control, class_name, 32);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    if (_wcsicmp(class_name, L"Button") == 0)
        return (style & BS_TYPEMASK) == BS_AUTOCHECKBOX ? Fit::none : Fit::button;
    if (_wcsicmp(class_name, L"ComboBox") == 0) return Fit::list;
    if (_wcsicmp(class_name, L"Static") != 0) return Fit::none; // fields scroll, the bar has none
    // A path is shortened in its middle by design.
    if ((style & SS_ELLIPSISMASK) == SS_PATHELLIPSIS) return Fit::none;
    if ((style & SS_ELLIPSISMASK) != 0 || (style & SS_CENTERIMAGE) != 0) return Fit::line;
    return Fit::wrapped;
}

HFONT font_of(HWND control) {
    return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
}

class TextFit : public InProcessSetup {
  protected:
    void SetUp() override {
        InProcessSetup::SetUp();
        open(shop_settings(), page::overview);
    }

    void use_language(const std::string& code) {
        ASSERT_TRUE(set_language(code));
        rebuild_controls(window_);
        settle();
        language_ = code;
    }

    // Records the text when it does not fit `control` drawn in `font`.
    void check(HWND control, Fit fit, const std::string& text, HFONT font = nullptr) {
        if (fit == Fit::none || text.empty()) return;
        const std::wstring units = widen(text);
        RECT area{};
        GetClientRect(control, &area);
        WindowDc dc(control);
        SelectedObject selected(dc.get(), font ? font : font_of(control));
        SIZE size{};
        GetTextExtentPoint32W(dc.get(), units.c_str(), static_cast<int>(units.size()), &size);
        int room = area.right;
        int needed = size.cx;
        int height_needed = size.cy;
        switch (fit) {
        case Fit::button:
            needed += 2 * button_padding;
            break;
        case Fit::list:
            room -= GetSystemMetrics(SM_CXVSCROLL) + 2 * list_padding;
            height_needed = 0; // the list's own item height
            break;
        case Fit::wrapped: {
            RECT wrapped{0, 0, area.right, 0};
            DrawTextW(dc.get(), units.c_str(), static_cast<int>(units.size()), &wrapped,
                      DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            needed = wrapped.right;
            height_needed = wrapped.bottom;
            break;
        }
        case Fit::line:
        case Fit::none:
            break;
        }
        if (needed <= room && height_needed <= area.bottom) return;
        misfits_.push_back(language_ + " " + std::to_string(GetDlgCtrlID(control)) + " \"" + text +
                           "\": needs " + std::to_string(needed) + "x" +
                           std::to_string(height_needed) + ", has " + std::to_string(room) + "x" +
                           std::to_string(area.bottom));
    }

    // Every control as it is now, every entry of the drop-down lists, and the texts the
    // controls show in other states of the service.
    void check_every_text() {
        for (const ControlEntry& entry : state_->controls) {
            const Fit fit = fit_of(entry.window);
            if (fit == Fit::list) {
                for (const std::string& item : list_items(GetDlgCtrlID(entry.window)))
                    check(entry.window, fit, item);
            } else {
                check(entry.window, fit, get_text(window_, GetDlgCtrlID(entry.window)));
            }
        }
        for (const auto& [id, texts] : texts_of_other_states())
            for (const std::string& text : texts)
                check(control(id), fit_of(control(id)), text);
        check_navigation_labels();
        check_overview_notes();
        // The status text takes a smaller font when the status font is too wide.
        for (ServiceStatus status : {ServiceStatus::NotInstalled, ServiceStatus::Stopped,
                                     ServiceStatus::Starting, ServiceStatus::Stopping,
                                     ServiceStatus::RunningNotAccepting, ServiceStatus::Running}) {
            const std::string text(status_text(status));
            check(control(id::status_text), Fit::line, text, status_text_font(window_, text));
        }
    }

    // Every diagnosis, with long values and its time, on the Overview's first status line.
    void check_overview_notes() {
        const std::string backup =
            "2026-03-01 18:45, D:\\Backups\\kelta_retail_20260301_184502.sql";
        const Diagnosis samples[] = {
            {.cause = StartFailure::port_in_use, .subject = "MySQL80", .port = 65535, .pid = 65535},
            {.cause = StartFailure::port_in_use, .port = 65535},
            {.cause = StartFailure::data_folder_locked},
            {.cause = StartFailure::unknown_option, .subject = "innodb_buffer_pool_instances=8"},
            {.cause = StartFailure::file_access,
             .folder = "C:\\ProgramData\\KELTA Retail\\MySQL\\data"},
            {.cause = StartFailure::disk_full, .free_space = "512 KB", .drive = "C:"},
            {.cause = StartFailure::system_tables, .backup = backup},
            {.cause = StartFailure::innodb_corruption, .backup = backup},
            {.cause = StartFailure::address_not_local, .subject = "192.168.100.200"},
            {.cause = StartFailure::cannot_run, .subject = "0xC000007B"},
            {.cause = StartFailure::other,
             .subject =
                 "Can't start server: Bind on TCP/IP port: Cannot assign requested address"}};
        std::vector<std::string> texts;
        for (Diagnosis sample : samples) {
            sample.time = "2026-12-31T23:59:59Z";
            texts.push_back(dated_diagnosis_text(sample, current_language()));
        }
        // The automatic backup's line, failed with long reasons, late, or without its task.
        const std::string ini = "C:\\ProgramData\\KELTA Retail\\MySQL\\backup.ini";
        for (const std::string& error : std::vector<std::string>{
                 "mysqldump failed: mysqldump: Got error: 2013: Lost connection to MySQL server "
                 "during query when dumping table `sale_line` at row: 123456",
                 "not enough disk space in C:\\ProgramData\\KELTA Retail\\MySQL\\backups\\daily: "
                 "1.2 GB free, the last dump took 3.5 GB",
                 "copy to \\\\nas\\shop\\backups failed: \\\\nas\\shop\\backups\\kelta_retail_"
                 "20260301_023000.sql: the copy is not as large as the dump",
                 "the dump stopped making progress",
                 ini + " cannot be read: the file is not valid UTF-8 text",
                 ini + ": copy_to=\\\\nas\\shop\\backups\\kelta cannot be used"})
            texts.push_back(backup_warning_text({.error = error}, current_language()));
        for (const auto kind : {BackupWarning::Kind::late, BackupWarning::Kind::task_missing})
            texts.push_back(backup_warning_text({.kind = kind, .since = "2026-03-01 02:30"},
                                                current_language()));
        texts.push_back(interrupted_restore_note(safety_dump));
        texts.push_back(interrupted_recovery_note(
            {.dump = "D:\\Backups\\kelta_retail_20260301_184502.sql",
             .dump_time = "2026-03-01 18:45",
             .damaged = "C:\\ProgramData\\KELTA Retail\\MySQL\\data.damaged-20261209_101500",
             .started = "2026-12-09 10:15:00"}));
        // An option of the program's that another group of my.ini sets, with long values.
        texts.push_back(my_ini_override_text({.group = "mysqld-5.7",
                                              .setting = "bind-address=192.168.100.200",
                                              .ours = "192.168.100.201"},
                                             current_language()));
        for (const std::string& text : texts) {
            show_overview_notes(window_, {{text}});
            check(control(id::overview_note_first), Fit::wrapped, text);
        }
        show_overview_notes(window_, {});
    }

    // The page names in the navigation column: on one line, or on two within the item.
    void check_navigation_labels() {
        WindowDc dc(window_);
        SelectedObject selected(dc.get(), state_->fonts->body.get());
        for (int item = 0; item < navigation_items; ++item) {
            const PageName& name = page_name(item);
            const std::wstring units = widen(tr(name.english, name.chinese));
            const RECT label = navigation_label_rect(state_->scale, item);
            RECT needed{0, 0, label.right - label.left, 0};
            DrawTextW(dc.get(), units.c_str(), static_cast<int>(units.size()), &needed,
                      DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            if (needed.right <= label.right - label.left &&
                needed.bottom <= label.bottom - label.top)
                continue;
            misfits_.push_back(language_ + " navigation \"" + narrow(units) + "\": needs " +
                               std::to_string(needed.right) + "x" + std::to_string(needed.bottom));
        }
    }

    static SYSTEMTIME at(WORD year, WORD month, WORD day) {
        return {.wYear = year, .wMonth = month, .wDay = day, .wHour = 12};
    }

    // The Connection page's refusal of otherwise valid settings with one field changed.
    static std::string refusal(ConnectionSettings changed) {
        changed.password = "Secret-Password_1";
        return error_text(validate_settings(changed));
    }

    std::map<int, std::vector<std::string>> texts_of_other_states() const {
        const std::string far_address = "192.168.100.200";
        return {
            {id::install_button,
             {std::string(install_button_text(ServiceStatus::NotInstalled)),
              std::string(install_button_text(ServiceStatus::Running))}},
            {id::show_password_overview,
             {std::string(tr("Show", "显示")), std::string(tr("Hide", "隐藏"))}},
            {id::show_password_connection,
             {std::string(tr("Show", "显示")), std::string(tr("Hide", "隐藏"))}},
            {id::firewall_line,
             {firewall_line(true, 65535), firewall_line(false, 65535),
              firewall_line(std::nullopt, 65535), std::string(firewall_unknown_line())}},
            {id::connected_line,
             {connected_line(std::vector<ConnectedClient>{}),
              connected_line(std::vector<ConnectedClient>{
                  {.address = "192.168.100.201", .name = "TILL-1", .connections = 1},
                  {.address = "192.168.100.202", .name = "TILL-2", .connections = 1},
                  {.address = "192.168.100.203", .connections = 1},
                  {.address = "127.0.0.1", .this_computer = true, .connections = 2}})}},
            {id::detail_line,
             {detail_line(ServiceStatus::Running, 65535, far_address, StartType::automatic),
              detail_line(ServiceStatus::Running, 65535, far_address, StartType::manual)}},
            {id::server_ip_list, {server_ip_choices(far_address, {}).back().label}},
            {id::automatic_result,
             {*automatic_backup_line({.last_good_time = "2026-03-01 02:30:05"}, true,
                                     at(2026, 3, 1)),
              *automatic_backup_line({.switched_on = "2025-03-01 02:30:05"}, true, at(2026, 3, 1)),
              *automatic_backup_line({.switched_on = "2026-02-28 02:30:05"}, false, at(2026, 3, 1)),
              backup_warning_short_text({}),
              translate_failure(failure_text(settings_unreadable_text,
                                             {"backup.ini", "the file is not valid UTF-8 text"}),
                                current_language())}},
            {id::restore_hint, {interrupted_restore_hint(safety_dump)}},
            {id::open_safety_backups, {std::string(tr("Put back the data", "放回原数据"))}},
            {id::diagnosis_action,
             {std::string(diagnosis_action_text(DiagnosisAction::rebuild)),
              std::string(diagnosis_action_text(DiagnosisAction::set_aside_option)),
              std::string(diagnosis_action_text(DiagnosisAction::open_drive)),
              std::string(diagnosis_action_text(DiagnosisAction::other_port)),
              std::string(diagnosis_action_text(DiagnosisAction::repair_rights)),
              std::string(diagnosis_action_text(DiagnosisAction::end_stray))}},
            {id::status_line,
             {std::string(tr("connection.ini not found", "找不到 connection.ini")),
              std::string(tr("Starting MySQL, then restoring...", "正在启动 MySQL，然后恢复…")),
              fill_in(tr("Use the full network path (\\\\server\\share) instead of drive %1",
                         "请使用完整的网络路径（\\\\server\\share），不要使用驱动器 %1"),
                      {"Z:"})}},
            {id::validation_message,
             {refusal({.host = "till-pc"}), refusal({.database = "mysql"})}},
        };
    }

    std::string language_;
    std::vector<std::string> misfits_;
};

TEST_F(TextFit, EveryTextFitsItsControlInEveryLanguage) {
    for (const std::string code : {"en", "zh", "fr", "es"}) {
        use_language(code);
        check_every_text();
    }
    std::string report;
    for (const std::string& misfit : misfits_)
        report += "\n  " + misfit;
    EXPECT_TRUE(misfits_.empty()) << misfits_.size() << " texts do not fit:" << report;
}

// The check itself sees a text that is too long.
TEST_F(TextFit, ALongerTextIsReported) {
    use_language("en");
    check(control(id::save_button), Fit::button, "Save these settings for every register now");
    check(control(id::port_change_hint), Fit::wrapped, std::string(400, 'x') + " words");
    check(control(id::server_ip_list), Fit::list, std::string(60, 'W'));
    EXPECT_EQ(misfits_.size(), 3u);
}

} // namespace
