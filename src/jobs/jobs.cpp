#include "jobs/jobs.h"

#include "base/elevation.h"
#include "base/files.h"
#include "base/fill_in.h"
#include "base/handles.h"
#include "base/registry.h"
#include "base/text.h"
#include "i18n/tr.h"
#include "instance/data_folder.h"
#include "instance/data_rights.h"
#include "instance/dump_folder.h"
#include "jobs/activity_log.h"
#include "jobs/mode_texts.h"
#include "jobs/operation_lock.h"
#include "svc/apply.h"
#include "svc/auto_backup.h"
#include "svc/backup.h"
#include "svc/backup_failures.h"
#include "svc/connection_check.h"
#include "svc/control.h"
#include "svc/firewall.h"
#include "svc/install.h"
#include "svc/myini.h"
#include "svc/restore.h"
#include "svc/start_type.h"
#include "svc/stray_server.h"
#include "svc/status.h"
#include "svc/support_file.h"
#include "svc/uninstall.h"

#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>

std::atomic<std::uint8_t> install_busy{0};

namespace {

// The Setup window's last finished job, until the window takes it; a newer result replaces one
// nobody took.
struct JobResultSlot {
    std::mutex lock;
    std::optional<JobResult> content;
};
JobResultSlot job_result_slot;

// The tray's balloons in the order they were queued; the tray window takes them all at once.
struct TrayNotificationQueue {
    std::mutex lock;
    std::vector<TrayNotification> entries;
};
TrayNotificationQueue tray_notification_queue;

JobResult outcome(const Result<void>& result, std::string_view success) {
    if (!result) return {true, result.error()};
    return {false, std::string(success)};
}

// An install that could not register a nightly task still succeeded; the warnings go into
// tray.log as the command line's would, and to the operator.
std::string install_warning(const Installed& installed) {
    for (const std::string& warning :
         {installed.warning, installed.backup_task_warning, installed.service_warning})
        if (!warning.empty()) log_mode_warning("--install", warning);
    return install_warning_text(installed);
}

struct Performer {
    JobResult operator()(const job::Start&) const {
        return outcome(start_service(), tr("MySQL started", "MySQL 已启动"));
    }
    JobResult operator()(const job::Stop&) const {
        return outcome(stop_service(), tr("MySQL stopped", "MySQL 已停止"));
    }
    JobResult operator()(const job::Restart&) const {
        return outcome(restart_service(), tr("MySQL restarted", "MySQL 已重新启动"));
    }
    JobResult operator()(const job::Install&) const {
        auto installed = install(std::nullopt, FirewallChoice::keep);
        if (!installed) return {true, installed.error()};
        return {false, std::string(tr("MySQL service installed", "MySQL 服务已安装")),
                install_warning(*installed)};
    }
    JobResult operator()(const job::Uninstall&) const {
        auto removed = uninstall();
        if (!removed) return {true, removed.error()};
        if (removed->empty()) return {false, uninstall_done_text("")};
        log_mode_warning("--uninstall", *removed);
        return {false, uninstall_done_text(""), uninstall_warning_text(*removed)};
    }
    JobResult operator()(const job::OpenPort& open) const {
        return outcome(set_firewall_rule(true, open.port),
                       tr("Port opened in Windows Firewall", "已在 Windows 防火墙开放端口"));
    }
    JobResult operator()(const job::StartType& type) const {
        return outcome(set_service_start_type(type.automatic), "");
    }
    JobResult operator()(const job::Backup& b) const {
        auto done = backup(b.path);
        if (!done) return {true, translate_failure(done.error(), current_language())};
        record_last_backup(b.path);
        return {false, std::string(tr("Backup done:", "备份完成：")) + " " + b.path,
                rights_warning(parent_path(b.path))};
    }
    // Restore needs a running server: a stopped one is started first; one that cannot start is
    // what a rebuild from this very dump is for.
    JobResult operator()(const job::Restore& r) const {
        if (service_status() != ServiceStatus::Running)
            if (auto started = start_service(); !started)
                return {.is_error = true,
                        .text = std::string(tr("MySQL could not be started, so nothing was "
                                               "restored.",
                                               "MySQL 无法启动，所以没有恢复任何数据。")) +
                                "\n" + started.error(),
                        .rebuild_from = r.path};
        auto safety = restore(r.path);
        if (!safety) return {true, restore_failed_text(safety.error())};
        return {false, std::string(tr("Restore done. Data before the restore was saved to:",
                                      "恢复完成。恢复前的数据已另存为：")) +
                           " " + *safety};
    }
    JobResult operator()(const job::Recover& r) const {
        auto recovered = recover(r.recovery);
        if (!recovered) return {true, recovered.error()};
        return {false, recover_done_text(r.recovery.dump, *recovered)};
    }
    // my.ini is rewritten, and the folder's rights set, only once the data root is the
    // administrators' own: run from the command line, nothing has made sure of it yet.
    JobResult operator()(const job::SetAsideOption& o) const {
        if (auto secured = secure_data_root(); !secured) return {true, secured.error()};
        auto before = set_aside_unknown_option(o.line);
        if (!before) return {true, before.error()};
        if (auto started = start_service(); !started) return {true, started.error()};
        return {false, fill_in(tr("The line was set aside and MySQL started. my.ini as it was: %1",
                                  "该行已停用，MySQL 已启动。原来的 my.ini：%1"),
                               {*before})};
    }
    JobResult operator()(const job::RepairRights&) const {
        if (auto secured = secure_data_root(); !secured) return {true, secured.error()};
        if (auto repaired = repair_data_rights(); !repaired) return {true, repaired.error()};
        return outcome(start_service(), tr("Folder rights repaired and MySQL started",
                                           "文件夹权限已修复，MySQL 已启动"));
    }
    JobResult operator()(const job::EndStrayServer& s) const {
        if (auto ended = end_stray_server(s.pid); !ended) return {true, ended.error()};
        return outcome(start_service(), tr("MySQL started", "MySQL 已启动"));
    }
    JobResult operator()(const job::Apply& a) const {
        return outcome(apply(a.settings),
                       tr("Settings saved. The registers connect with the information on the "
                          "Overview page.",
                          "设置已保存。收银机用\"概览\"页上的信息连接。"));
    }
    JobResult operator()(const job::AutoBackup&) const {
        auto dump = backup_automatically();
        if (!dump) return {true, translate_failure(dump.error(), current_language())};
        return {false, std::string(tr("Backup done:", "备份完成：")) + " " + *dump};
    }
    JobResult operator()(const job::SaveBackupSettings& s) const {
        auto warning = apply_backup_settings(s.settings);
        if (!warning) return {true, warning.error()};
        return {false, std::string(tr("Automatic backup settings saved", "自动备份设置已保存")),
                *warning};
    }
    JobResult operator()(const job::SupportFile& s) const {
        if (auto saved = save_support_file(s.path); !saved) return {true, saved.error()};
        return {false,
                std::string(tr("Support file saved:", "技术支持文件已保存：")) + " " + s.path};
    }
    JobResult operator()(const job::CheckConnection&) const {
        auto answer = check_connection();
        if (!answer) return {true, answer.error()};
        return {false, *answer};
    }
};

void finish(HWND window, JobResult result) {
    store_job_result(std::move(result));
    PostMessageW(window, MSG_JOB_DONE, 0, 0);
}

// No exception may leave a thread: it would end the process and leave nothing in the slot.
JobResult perform_guarded(const Job& job) {
    try {
        return perform_job(job);
    } catch (const std::exception& e) {
        return {true, std::string("internal error: ") + e.what()};
    }
}

} // namespace

void store_job_result(JobResult result) {
    std::lock_guard guard(job_result_slot.lock);
    job_result_slot.content = std::move(result);
}

std::optional<JobResult> take_job_result() {
    std::lock_guard guard(job_result_slot.lock);
    return std::exchange(job_result_slot.content, std::nullopt);
}

void queue_tray_notification(TrayNotification notification) {
    std::lock_guard guard(tray_notification_queue.lock);
    tray_notification_queue.entries.push_back(std::move(notification));
}

std::vector<TrayNotification> take_tray_notifications() {
    std::lock_guard guard(tray_notification_queue.lock);
    return std::exchange(tray_notification_queue.entries, {});
}

void return_tray_notifications(std::vector<TrayNotification> notifications) {
    std::lock_guard guard(tray_notification_queue.lock);
    auto& entries = tray_notification_queue.entries;
    entries.insert(entries.begin(), std::make_move_iterator(notifications.begin()),
                   std::make_move_iterator(notifications.end()));
}


// The mode that does what the job does, for the jobs that must wait their turn behind any other
// operation on the machine; nothing for the firewall port, the start type, the connection test
// and the support file: the support file is wanted most when another operation hangs.
struct LockedAs {
    std::optional<std::string_view> operator()(const job::Start&) const { return "--start"; }
    std::optional<std::string_view> operator()(const job::Stop&) const { return "--stop"; }
    std::optional<std::string_view> operator()(const job::Restart&) const { return "--restart"; }
    std::optional<std::string_view> operator()(const job::Install&) const { return "--install"; }
    std::optional<std::string_view> operator()(const job::Uninstall&) const {
        return "--uninstall";
    }
    std::optional<std::string_view> operator()(const job::Backup&) const { return "--backup"; }
    std::optional<std::string_view> operator()(const job::Restore&) const { return "--restore"; }
    std::optional<std::string_view> operator()(const job::Recover&) const { return "--recover"; }
    std::optional<std::string_view> operator()(const job::SetAsideOption&) const {
        return "--start";
    }
    std::optional<std::string_view> operator()(const job::RepairRights&) const { return "--start"; }
    std::optional<std::string_view> operator()(const job::EndStrayServer&) const {
        return "--start";
    }
    std::optional<std::string_view> operator()(const job::Apply&) const { return "--apply"; }
    std::optional<std::string_view> operator()(const job::AutoBackup&) const {
        return "--backup-auto";
    }
    // backup.ini and the task are the automatic backup's; a run must not read half of them.
    std::optional<std::string_view> operator()(const job::SaveBackupSettings&) const {
        return "--setup";
    }
    std::optional<std::string_view> operator()(const auto&) const { return std::nullopt; }
};

JobResult perform_job(const Job& job) {
    const auto operation = std::visit(LockedAs{}, job);
    if (!operation) return std::visit(Performer{}, job);
    auto lock = take_operation_lock(*operation);
    if (!lock) return {true, lock.error()};
    return std::visit(Performer{}, job);
}

void run_job(HWND window, Job job) {
    try {
        std::thread([window, job = std::move(job)] { finish(window, perform_guarded(job)); }).detach();
    } catch (const std::exception& e) {
        finish(window, {true, std::string("cannot start a background job: ") + e.what()});
    }
}

std::string last_backup_text(const SYSTEMTIME& t, const std::string& path) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute);
    return std::string(stamp) + "|" + path;
}

void record_last_backup(const std::string& path) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    // Any failure here is silent: the backup itself succeeded.
    UniqueKey key = create_key_for_values(HKEY_CURRENT_USER, program_key);
    if (key) (void)write_string(key.get(), "LastBackup", last_backup_text(now, path));
}

void start_open_setup_job(const ElevationHooks& elevation) {
    try {
        std::thread([elevation] { (void)elevation.run_elevated("--setup", false); }).detach();
    } catch (const std::exception&) {
        // Opening the Setup window is best effort; the operator can double-click again.
    }
}

bool start_tray_install_job(HWND tray, const ElevationHooks& elevation) {
    if (install_busy.exchange(1) != 0) return false;
    auto work = [tray, elevation] {
        UniqueHandle running(CreateMutexW(nullptr, TRUE, tray_install_mutex_name));
        std::optional<TrayNotification> notification;
        try {
            if (elevation.is_elevated()) {
                auto lock = take_operation_lock("--install");
                auto installed = lock ? install(std::nullopt, FirewallChoice::keep)
                                      : Result<Installed>(std::unexpected(lock.error()));
                if (!installed)
                    notification = TrayNotification{installed.error(), true};
                else if (std::string warning = install_warning(*installed); !warning.empty())
                    notification = TrayNotification{std::move(warning), false};
            } else if (auto child = elevation.run_elevated("--install", true); !child) {
                // The elevated child reports its own failures; only a refused start is ours.
                notification = TrayNotification{child.error(), true};
            }
        } catch (const std::exception& e) {
            notification = TrayNotification{std::string("internal error: ") + e.what(), true};
        }
        // Queued before the flag clears: an exiting tray waits only for the flag, and the
        // queue must still exist when this thread touches it.
        if (notification) queue_tray_notification(*notification);
        install_busy.exchange(0);
        if (notification) PostMessageW(tray, MSG_TRAY_NOTIFY, 0, 0);
        PostMessageW(tray, MSG_TRAY_REFRESH, 0, 0);
    };
    try {
        std::thread(work).detach();
    } catch (const std::exception& e) {
        install_busy.exchange(0);
        queue_tray_notification({std::string("cannot start a background job: ") + e.what(), true});
        PostMessageW(tray, MSG_TRAY_NOTIFY, 0, 0);
    }
    return true;
}
