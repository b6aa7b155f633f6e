#include "app/modes.h"

#include "app/setup_program.h"
#include "app/tray_program.h"
#include "base/cmdline.h"
#include "base/elevation.h"
#include "base/files.h"
#include "base/text.h"
#include "config/settings.h"
#include "i18n/language.h"
#include "instance/dump_folder.h"
#include "jobs/activity_log.h"
#include "jobs/mode_texts.h"
#include "jobs/operation_lock.h"
#include "svc/apply.h"
#include "svc/auto_backup.h"
#include "svc/backup.h"
#include "svc/connection_check.h"
#include "svc/control.h"
#include "svc/install.h"
#include "svc/restore.h"
#include "svc/rotate.h"
#include "svc/status_report.h"
#include "svc/uninstall.h"
#include "ui/logon.h"

#include <windows.h>

#include <algorithm>

namespace {

// A mode's outcome: success, perhaps with a text for an information box, or a failure text.
using ModeResult = Result<std::string>;

// Success without a text: nothing to show.
ModeResult silent(const Result<void>& result) {
    if (!result) return fail(result.error());
    return std::string();
}

ModeResult run_apply(const Arguments& arguments) {
    auto config = option_value(arguments, "--config");
    if (!config) return fail("missing --config <file>");
    // The file holds passwords in plain text: it goes even when it could not be read.
    auto settings = take_settings_file(*config, false);
    if (!settings) return fail(settings.error());
    return silent(apply(*settings));
}

// The server works even when a nightly task could not be registered: the install succeeds,
// and the reason is written down where an installer's log is read.
ModeResult run_install(const std::string& mode, const Arguments& arguments) {
    auto installed = install(option_value(arguments, "--config"), firewall_choice(arguments));
    if (!installed) return fail(installed.error());
    if (installed->warning.empty() && installed->backup_task_warning.empty()) return std::string();
    for (const std::string& warning : {installed->warning, installed->backup_task_warning})
        if (!warning.empty()) log_mode_warning(mode, warning);
    return install_done_text(*installed);
}

ModeResult run_backup_auto() {
    auto dump = backup_automatically();
    if (!dump) return fail(dump.error());
    return backup_done_text(*dump);
}

ModeResult run_backup(const Arguments& arguments) {
    auto file = file_argument(arguments, "--backup");
    if (!file) return fail("missing file name");
    if (auto saved = backup(*file); !saved) return fail(saved.error());
    std::string done = backup_done_text(*file);
    if (std::string warning = rights_warning(parent_path(*file)); !warning.empty())
        done.append("\n\n").append(warning);
    return done;
}

ModeResult run_restore(const Arguments& arguments) {
    auto file = file_argument(arguments, "--restore");
    if (!file) return fail("missing file name");
    auto safety = restore(*file);
    if (!safety) return fail(restore_failed_text(safety.error()));
    return restore_done_text(*safety);
}

ModeResult run_lang(const Arguments& arguments) {
    return silent(set_language(option_value(arguments, "--lang").value_or("auto")));
}

// Only "off" switches the start at logon off; no value or any other value switches it on.
ModeResult run_autostart(const Arguments& arguments) {
    return silent(set_run_at_logon(option_value(arguments, "--autostart") != "off"));
}

ModeResult dispatch(const std::string& mode, const Arguments& arguments) {
    if (mode == "--stop") return silent(stop_service());
    if (mode == "--start") return silent(start_service());
    if (mode == "--restart") return silent(restart_service());
    if (mode == "--uninstall") return silent(uninstall());
    if (mode == "--install") return run_install(mode, arguments);
    if (mode == "--apply") return run_apply(arguments);
    if (mode == "--backup") return run_backup(arguments);
    if (mode == "--restore") return run_restore(arguments);
    if (mode == "--backup-auto") return run_backup_auto();
    if (mode == "--check-connection") return check_connection();
    if (mode == "--rotate-logs") return silent(rotate_logs(rotate_limit(arguments)));
    if (mode == "--lang") return run_lang(arguments);
    if (mode == "--autostart") return run_autostart(arguments);
    if (mode == "--quit") return silent(quit_running_tray());
    if (mode == "--setup") {
        run_setup_program(setup_page(arguments));
        return std::string();
    }
    return fail("unknown option " + mode);
}

bool runs_unelevated(const std::string& mode) {
    return mode == "--quit" || mode == "--lang" || mode == "--autostart";
}

// The modes that stop, start, write my.ini or connection.ini, initialize, back up, restore,
// rotate or uninstall: one of them at a time on the machine.
bool changes_the_instance(const std::string& mode) {
    for (std::string_view changing :
         {"--stop", "--start", "--restart", "--uninstall", "--install", "--apply", "--backup",
          "--backup-auto", "--restore", "--rotate-logs"})
        if (mode == changing) return true;
    return false;
}

// The lock comes before anything else, so that a refused mode has changed nothing (an --apply
// or --install file included).
ModeResult run_mode(const std::string& mode, const Arguments& arguments) {
    if (!changes_the_instance(mode)) return dispatch(mode, arguments);
    auto lock = take_operation_lock(mode);
    if (!lock) return fail(lock.error());
    return dispatch(mode, arguments);
}

} // namespace

void show_message(const std::string& text, bool is_error) {
    MessageBoxW(nullptr, widen(text).c_str(), L"KELTA Retail MySQL",
                MB_OK | MB_SETFOREGROUND | (is_error ? MB_ICONERROR : MB_ICONINFORMATION));
}

int run_command_line(const Arguments& arguments, const ElevationHooks& elevation) {
    const bool quiet = is_quiet(arguments);
    auto mode = find_mode(arguments);
    if (!mode) {
        run_tray_program(elevation);
        return 0;
    }
    // Asked by installers and monitoring: no elevation, nothing logged, nothing shown, and an
    // exit code of its own.
    if (*mode == "--status")
        return run_status(std::ranges::find(arguments, "--text") != arguments.end());
    if (!runs_unelevated(*mode) && !elevation.is_elevated()) {
        auto child = elevation.run_elevated(quote_arguments(arguments), true);
        if (child) return static_cast<int>(*child);
        if (!quiet) show_message(child.error(), true);
        return 1;
    }
    ModeResult result = run_mode(*mode, arguments);
    if (!result) {
        log_mode_failure(*mode, result.error(), elevation.is_elevated());
        if (!quiet) show_message(result.error(), true);
        return 1;
    }
    if (!quiet && !result->empty()) show_message(*result, false);
    return 0;
}
