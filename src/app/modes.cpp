#include "app/modes.h"

#include "app/quit_signal.h"
#include "app/setup_program.h"
#include "app/tray_program.h"
#include "base/cmdline.h"
#include "base/elevation.h"
#include "base/files.h"
#include "base/local_time.h"
#include "base/text.h"
#include "config/settings.h"
#include "i18n/language.h"
#include "i18n/tr.h"
#include "instance/dump_folder.h"
#include "jobs/activity_log.h"
#include "jobs/client_texts.h"
#include "jobs/jobs.h"
#include "jobs/mode_texts.h"
#include "jobs/operation_lock.h"
#include "svc/apply.h"
#include "svc/auto_backup.h"
#include "svc/backup.h"
#include "svc/backup_failures.h"
#include "svc/client_names.h"
#include "svc/clients.h"
#include "svc/connection_check.h"
#include "svc/control.h"
#include "svc/give_back.h"
#include "svc/install.h"
#include "svc/diagnosis_action.h"
#include "svc/port_holder.h"
#include "svc/recover.h"
#include "svc/recover_journal.h"
#include "svc/restore.h"
#include "svc/restore_journal.h"
#include "svc/start_failure.h"
#include "svc/status.h"
#include "svc/rotate.h"
#include "svc/status_report.h"
#include "svc/support_file.h"
#include "svc/uninstall.h"
#include "ui/logon.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <expected>
#include <optional>
#include <vector>

namespace {

constexpr int exit_failure = 1;
// --if-idle found clients connected and changed nothing.
constexpr int exit_clients_connected = 6;
// How long a refusal waits for the names of the registers before it names their addresses.
constexpr std::chrono::milliseconds name_wait{1500};

struct ModeFailure {
    ModeFailure(std::string failure, int code = exit_failure)
        : text(std::move(failure)), exit_code(code) {}
    std::string text;
    int exit_code;
};

// A mode's outcome: success, perhaps with a text for an information box, or a failure with its
// text and exit code.
using ModeResult = std::expected<std::string, ModeFailure>;

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
    const std::string warnings[] = {installed->warning, installed->backup_task_warning,
                                    installed->service_warning};
    if (std::ranges::all_of(warnings, [](const std::string& w) { return w.empty(); }))
        return std::string();
    for (const std::string& warning : warnings)
        if (!warning.empty()) log_mode_warning(mode, warning);
    return install_done_text(*installed);
}

// The service is gone even when a firewall rule or a task stayed: an uninstaller goes on, and
// what stayed is written down and told.
ModeResult run_uninstall(const std::string& mode) {
    auto removed = uninstall();
    if (!removed) return fail(removed.error());
    if (removed->empty()) return std::string();
    log_mode_warning(mode, *removed);
    return uninstall_done_text(*removed);
}

ModeResult run_backup_auto() {
    auto dump = backup_automatically();
    if (!dump) return fail(translate_failure(dump.error(), current_language()));
    return backup_done_text(*dump);
}

ModeResult run_backup(const Arguments& arguments) {
    auto file = file_argument(arguments, "--backup");
    if (!file) return fail("missing file name");
    if (auto saved = backup(*file); !saved)
        return fail(translate_failure(saved.error(), current_language()));
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

ModeResult job_outcome(const JobResult& result) {
    if (result.is_error) return fail(result.text);
    if (result.warning.empty()) return result.text;
    return result.text + "\n\n" + result.warning;
}

// Without --quiet the operator confirms, having read which dump and what is lost. The job takes
// the operation lock, as the window's does.
ModeResult run_recover(const std::optional<std::string>& file, bool quiet) {
    auto recovery = plan_recovery(file);
    if (!recovery) return fail(recovery.error());
    if (!quiet &&
        MessageBoxW(nullptr, widen(recover_question(*recovery)).c_str(), L"KELTA Retail MySQL",
                    MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING | MB_SETFOREGROUND) != IDYES)
        return fail("the rebuild was not confirmed; nothing was changed");
    return job_outcome(perform_job(job::Recover{std::move(*recovery)}));
}

// The Overview's action for why MySQL does not start, for support staff: the same job. What
// needs the operator (another port for every register, room on a drive) fails with what to do.
ModeResult run_fix(const Arguments& arguments) {
    const bool running = service_status() == ServiceStatus::Running;
    const std::optional<Diagnosis> diagnosis = current_diagnosis(running);
    const DiagnosisAction action = current_action(diagnosis);
    // A start that failed for a cause MySQL did not name may well have left the data whole: a
    // rebuild then puts the day's entries aside, so it is never taken unasked.
    const bool unknown_cause = diagnosis && diagnosis->cause == StartFailure::other;
    if (action == DiagnosisAction::rebuild && unknown_cause && is_quiet(arguments) &&
        !interrupted_recovery())
        return fail("MySQL did not say why it failed to start, so the data may be whole: --fix "
                    "--quiet does not rebuild it; run --fix without --quiet, or --recover.");
    if (action == DiagnosisAction::rebuild) return run_recover(std::nullopt, is_quiet(arguments));
    if (action == DiagnosisAction::none && running)
        return std::string(tr("MySQL is running; there is nothing to fix.",
                              "MySQL 正在运行；没有需要修复的问题。"));
    if (!diagnosis)
        return fail(std::string(tr("No failed start is recorded; there is nothing to fix.",
                                   "没有记录到失败的启动；没有需要修复的问题。")));
    switch (action) {
    case DiagnosisAction::set_aside_option:
        return job_outcome(perform_job(job::SetAsideOption{diagnosis->subject}));
    case DiagnosisAction::repair_rights:
        return job_outcome(perform_job(job::RepairRights{}));
    case DiagnosisAction::end_stray:
        return job_outcome(perform_job(job::EndStrayServer{diagnosis->pid}));
    default:
        return fail(fix_by_hand_text(action, *diagnosis, next_free_port(default_port)));
    }
}

ModeResult run_support_file(const Arguments& arguments) {
    auto file = file_argument(arguments, "--support-file");
    if (!file) return fail("missing file name");
    if (auto saved = save_support_file(*file); !saved) return fail(saved.error());
    return support_file_done_text(*file);
}

ModeResult run_lang(const Arguments& arguments) {
    return silent(set_language(option_value(arguments, "--lang").value_or("auto")));
}

// Only "off" switches the start at logon off; no value or any other value switches it on.
ModeResult run_autostart(const Arguments& arguments) {
    return silent(set_run_at_logon(option_value(arguments, "--autostart") != "off"));
}

// The package's rollback of a failed first install: what the install created goes again, and a
// service registered by hand before it goes back to the copy of the program that registered it.
ModeResult run_undo_install(const std::string& mode, const Arguments& arguments) {
    if (auto previous = option_value(arguments, "--previous-service"))
        return silent(give_service_back(*previous));
    return run_uninstall(mode);
}

// "all": every user's tray and Setup window, for an uninstaller or an upgrade running as the
// local system; otherwise this user's tray.
ModeResult run_quit(const Arguments& arguments) {
    if (option_value(arguments, "--quit") == "all") return silent(quit_everywhere());
    return silent(quit_running_tray());
}

ModeResult dispatch(const std::string& mode, const Arguments& arguments) {
    if (mode == "--stop") return silent(stop_service());
    if (mode == "--start") return silent(start_service());
    if (mode == "--restart") return silent(restart_service());
    if (mode == "--uninstall") return run_uninstall(mode);
    if (mode == "--undo-install") return run_undo_install(mode, arguments);
    if (mode == "--install") return run_install(mode, arguments);
    if (mode == "--apply") return run_apply(arguments);
    if (mode == "--backup") return run_backup(arguments);
    if (mode == "--restore") return run_restore(arguments);
    if (mode == "--recover")
        return run_recover(file_argument(arguments, "--recover"), is_quiet(arguments));
    if (mode == "--fix") return run_fix(arguments);
    if (mode == "--backup-auto") return run_backup_auto();
    if (mode == "--check-connection") return check_connection();
    if (mode == "--support-file") return run_support_file(arguments);
    if (mode == "--rotate-logs") return silent(rotate_logs(rotate_limit(arguments)));
    if (mode == "--lang") return run_lang(arguments);
    if (mode == "--autostart") return run_autostart(arguments);
    if (mode == "--quit") return run_quit(arguments);
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
// rotate or uninstall: one of them at a time on the machine. (--recover and --fix run the
// window's jobs, which take the lock themselves.)
bool changes_the_instance(const std::string& mode, const Arguments& arguments) {
    for (std::string_view changing :
         {"--stop", "--start", "--restart", "--uninstall", "--install", "--apply", "--backup",
          "--backup-auto", "--restore", "--rotate-logs"})
        if (mode == changing) return true;
    // Giving the service back runs the other copy's --install, which takes the lock itself.
    return mode == "--undo-install" && !option_value(arguments, "--previous-service");
}

// A removal must finish: after the lock's wait it goes on without the lock (the operation that
// holds it then meets a stopped server) and says why in tray.log.
bool goes_on_without_lock(const std::string& mode) {
    return mode == "--uninstall" || mode == "--undo-install";
}

// A restore that was cut off left the database partly restored, a rebuild that was cut off may
// have left MySQL on an empty one: every elevated mode says so until the safety dump is back in
// or the rebuild finished. The Setup window shows it on its own pages; the rebuild's own modes
// finish it.
void tell_interrupted_work(const std::string& mode, bool quiet) {
    if (mode == "--setup") return;
    // A restore cut off inside a rebuild put back nothing worth having: the rebuild is the one
    // to finish.
    std::vector<std::string> texts;
    const std::optional<InterruptedRecovery> rebuild = interrupted_recovery();
    if (rebuild && mode != "--recover" && mode != "--fix")
        texts.push_back(interrupted_recovery_text(*rebuild));
    if (const std::optional<InterruptedRestore> restore = interrupted_restore();
        restore && !rebuild)
        texts.push_back(interrupted_restore_text(*restore));
    for (const std::string& text : texts) {
        log_mode_warning(mode, text);
        if (!quiet) show_message(text, true);
    }
}

// The elevated copy starts in another folder (the system folder, or wherever the shell lets it):
// a file name typed relative to the operator's folder must name the same file there.
Arguments with_absolute_files(Arguments arguments) {
    for (std::size_t at : file_argument_positions(arguments))
        arguments[at] = absolute_path(arguments[at]);
    return arguments;
}

Result<void> check_files_reachable(const Arguments& arguments) {
    for (std::size_t at : file_argument_positions(arguments))
        if (auto reachable = check_drive_reachable(arguments[at]); !reachable) return reachable;
    return {};
}

// The modes that cut off every client of the server, and so take --if-idle.
bool cuts_clients_off(const std::string& mode) {
    for (std::string_view cutting : {"--stop", "--restart", "--restore", "--apply", "--uninstall"})
        if (mode == cutting) return true;
    return false;
}

// --if-idle: any client connected (a register, or a program on this computer) refuses the mode;
// so does a connection table that cannot be read, since nobody can then say that none is.
std::optional<ModeFailure> refusal_while_connected() {
    auto clients = connected_clients();
    if (!clients)
        return ModeFailure("cannot tell whether clients are connected: " + clients.error());
    if (clients->empty()) return std::nullopt;
    name_clients_within(*clients, name_wait);
    return ModeFailure(registers_busy_text(*clients), exit_clients_connected);
}

// The lock comes before anything else, so that a refused mode has changed nothing (an --apply
// or --install file included). The clients are counted once it is held, right before the
// operation: a register may well have connected while the mode waited for another operation.
ModeResult run_mode(const std::string& mode, const Arguments& arguments) {
    if (auto reachable = check_files_reachable(arguments); !reachable)
        return fail(reachable.error());
    if (!changes_the_instance(mode, arguments)) return dispatch(mode, arguments);
    auto lock = take_operation_lock(mode);
    if (!lock && !goes_on_without_lock(mode)) return fail(lock.error());
    if (!lock) log_mode_note(mode, "went on after waiting for another operation: " + lock.error());
    if (cuts_clients_off(mode) && std::ranges::find(arguments, "--if-idle") != arguments.end())
        if (auto refused = refusal_while_connected()) return std::unexpected(std::move(*refused));
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
    if (*mode == "--status") {
        const bool has_out = std::ranges::find(arguments, "--out") != arguments.end();
        return run_status({.as_text = std::ranges::find(arguments, "--text") != arguments.end(),
                           .out_file = has_out ? option_value(arguments, "--out").value_or("")
                                               : std::optional<std::string>(),
                           .elevated = elevation.is_elevated()});
    }
    if (!runs_unelevated(*mode) && !elevation.is_elevated()) {
        auto child = elevation.run_elevated(quote_arguments(with_absolute_files(arguments)), true);
        if (child) return static_cast<int>(*child);
        if (!quiet) show_message(child.error(), true);
        return exit_failure;
    }
    if (!runs_unelevated(*mode)) tell_interrupted_work(*mode, quiet);
    ModeResult result = run_mode(*mode, arguments);
    if (!result) {
        log_mode_failure(*mode, result.error().text, elevation.is_elevated());
        if (!quiet) show_message(result.error().text, true);
        return result.error().exit_code;
    }
    if (!quiet && !result->empty()) show_message(*result, false);
    return 0;
}
