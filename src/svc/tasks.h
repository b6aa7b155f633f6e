#pragma once
// The two nightly tasks of the Task Scheduler: the log rotation and the automatic backup. Each is
// registered from a task definition (schtasks /Create /XML) rather than from schtasks' short
// options, which leave the scheduler's defaults: a computer that is off or asleep at the hour
// would skip the night, and one on battery would not start the task at all.
#include "base/result.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::string_view rotation_task_name = "KELTA Retail MySQL Log Rotation";
inline constexpr std::string_view backup_task_name = "KELTA Retail MySQL Backup";

// A task that runs this program daily at a local time, as SYSTEM with the highest rights: started
// as soon as possible after a start it missed, with or without AC power, not only when idle, one
// instance at a time, ended by the scheduler after `time_limit`.
struct DailyTask {
    std::string_view name;
    std::string program;
    std::string_view arguments;
    std::string_view time; // "HH:MM"
    std::chrono::minutes time_limit;
};

// The task's definition as Task Scheduler XML. The first start is the next `time` after `now`
// (local): a first start in the past would count as missed and run at once.
std::string task_definition(const DailyTask& task, const SYSTEMTIME& now);

// Whether the Task Scheduler has the task; nothing when that cannot be known: schtasks did not
// answer, or it found nothing in a process that is not elevated, which may not see SYSTEM's tasks
// at all.
std::optional<bool> scheduled_task_state(std::string_view name, bool elevated);

// Daily at 03:00: this executable with --rotate-logs --quiet, for at most 30 minutes.
Result<void> register_rotation_task();
// Whether the Task Scheduler has the task (schtasks ran and found it).
bool rotation_task_present();
// Succeeds when the task is gone, also when there was none.
Result<void> remove_rotation_task();

// Daily at `time` (HH:MM): this executable with --backup-auto --quiet, for at most 4 hours.
Result<void> register_backup_task(std::string_view time);
Result<void> remove_backup_task();

// What the Task Scheduler says of a task.
struct TaskState {
    bool present = false;
    std::string next_run; // as the scheduler writes it, in its own language and form
    std::optional<std::int32_t> last_result; // of the last run, as the scheduler reports it
};

// The first record of schtasks /Query /FO CSV /NH /V; nothing when there is none.
std::optional<TaskState> parse_task_query(std::string_view output);
// The backup task's state; not present when schtasks finds no such task, an error when schtasks
// could not be asked.
Result<TaskState> backup_task_state();
