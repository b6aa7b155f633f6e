#pragma once
// Long operations never run on a window thread: a job runs on a thread of its own, leaves its
// result in a guarded slot or queue, and posts a completion message to its window.
#include "base/elevation.h"
#include "config/settings.h"
#include "svc/backup_settings.h"
#include "svc/recover.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

inline constexpr UINT MSG_JOB_DONE = WM_APP + 1;     // Setup window: JobResultSlot holds a result
inline constexpr UINT MSG_TRAY_REFRESH = WM_APP + 2; // tray: a tray job ended
inline constexpr UINT MSG_TRAY_NOTIFY = WM_APP + 3;  // tray: TrayNotificationQueue has balloons

struct JobResult {
    bool is_error = false;
    std::string text;
    std::string warning; // of a success that left one step undone; shown in a box of its own
    // A restore that found the server stopped and could not start it: the dump it was given,
    // which the window then offers to rebuild the database from.
    std::optional<std::string> rebuild_from;
};

// The last finished Setup-window job's result (JobResultSlot), until the window takes it.
void store_job_result(JobResult result);
std::optional<JobResult> take_job_result();

struct TrayNotification {
    std::string text;
    bool is_error = false;
};

// Balloons for the tray (TrayNotificationQueue), in the order they were queued.
void queue_tray_notification(TrayNotification notification);
std::vector<TrayNotification> take_tray_notifications();
// Puts taken notifications that could not be shown back at the head of the queue, in order.
void return_tray_notifications(std::vector<TrayNotification> notifications);

// Set while the tray's install job runs.
extern std::atomic<std::uint8_t> install_busy;
// Held by the tray's install job while it runs: --quit, in another process, learns from it that
// a tray whose window has gone lives on for the install.
inline constexpr wchar_t tray_install_mutex_name[] = L"KELTA.MySqlTray.Install";

namespace job {
struct Start {};
struct Stop {};
struct Restart {};
struct Install {};
struct Uninstall {};
struct OpenPort { std::uint16_t port; };
struct StartType { bool automatic; };
struct Backup { std::string path; };
struct Restore { std::string path; };
struct SetAsideOption {
    std::string line;
};
struct RepairRights {};
struct EndStrayServer {
    unsigned long pid;
};
struct Recover {
    Recovery recovery;
};
struct Apply { ConnectionSettings settings; };
struct CheckConnection {};
struct AutoBackup {};
struct SaveBackupSettings { BackupSettings settings; };
struct SupportFile { std::string path; };
} // namespace job

using Job =
    std::variant<job::Start, job::Stop, job::Restart, job::Install, job::Uninstall, job::OpenPort,
                 job::StartType, job::Backup, job::Restore, job::Recover, job::SetAsideOption,
                 job::RepairRights, job::EndStrayServer, job::Apply, job::CheckConnection,
                 job::AutoBackup, job::SaveBackupSettings, job::SupportFile>;

// Runs the job's operation on the calling thread and gives the result the window shows: the
// translated success text, or the operation's error text unchanged.
JobResult perform_job(const Job& job);

// Starts the job on a new thread that stores its result and posts MSG_JOB_DONE to `window`.
// If no thread can be started, the failure is stored and posted the same way, so the window
// never stays busy.
void run_job(HWND window, Job job);

// "LastBackup": the local time of the end of the backup and the file, "YYYY-MM-DD HH:MM|path".
void record_last_backup(const std::string& path);
std::string last_backup_text(const SYSTEMTIME& time, const std::string& path);

// Tray: opens the Setup window elevated, without waiting; failures are dropped.
void start_open_setup_job(const ElevationHooks& elevation);
// Tray: install (in this process when elevated, else through an elevated child); a failure
// becomes an error balloon, the warning of an install in this process an information balloon.
// Ignored (false) while an install job of this tray runs.
bool start_tray_install_job(HWND tray, const ElevationHooks& elevation);
