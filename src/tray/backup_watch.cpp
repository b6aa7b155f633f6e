#include "tray/backup_watch.h"

#include "base/text.h"
#include "i18n/language.h"
#include "instance/paths.h"
#include "jobs/jobs.h"
#include "svc/backup_settings.h"
#include "svc/tasks.h"
#include "tray/notify.h"

#include <exception>
#include <thread>

namespace {

constexpr DWORD checks_poll_ms = 20;
std::atomic<int> task_checks_running{0};

// The last write time of the file, zero when it is missing.
FILETIME written_at(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data)) return {};
    return data.ftLastWriteTime;
}

bool same_time(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// schtasks is a child program that may take its time: it runs on a thread of its own, which
// has the tray refresh once it knows.
void ask_for_task(HWND window, const std::shared_ptr<std::atomic<TaskAnswer>>& answer) {
    ++task_checks_running;
    try {
        std::thread([window, answer] {
            try {
                const Result<TaskState> task = backup_task_state();
                if (task) answer->store(task->present ? TaskAnswer::present : TaskAnswer::missing);
            } catch (const std::exception&) {
                // No answer: the task counts as unknown, nothing is told.
            }
            --task_checks_running;
            PostMessageW(window, MSG_TRAY_REFRESH, 0, 0);
        }).detach();
    } catch (const std::exception&) {
        --task_checks_running;
    }
}

std::optional<bool> task_present(TaskAnswer answer) {
    if (answer == TaskAnswer::unknown) return std::nullopt;
    return answer == TaskAnswer::present;
}

} // namespace

std::string watch_automatic_backup(HWND window, BackupWatch& watch, bool installed) {
    const ULONGLONG tick = GetTickCount64();
    const FILETIME state = written_at(backup_state_path());
    if (!same_time(state, watch.state_written)) {
        watch.state_written = state;
        watch.run = load_backup_run();
    }
    const FILETIME settings = written_at(backup_settings_path());
    if (!same_time(settings, watch.settings_written)) {
        watch.settings_written = settings;
        const Result<BackupSettings> loaded = load_backup_settings();
        watch.enabled = !loaded || loaded->enabled;
        // A Save on the Backup & restore page registers or removes the task: asked again.
        watch.task_asked_at.reset();
    }
    // Switched off, or without a server, there is nothing to warn of.
    if (!watch.enabled || !installed) return {};
    if (!watch.task_asked_at || tick - *watch.task_asked_at >= backup_task_interval_ms) {
        watch.task_asked_at = tick;
        ask_for_task(window, watch.task);
    }
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::optional<BackupWarning> warning =
        backup_warning(watch.run.value_or(BackupRun{}), task_present(watch.task->load()), now);
    if (!warning) return {};
    std::string text = backup_warning_text(*warning, current_language());
    if (!watch.warned_at || text != watch.warned ||
        tick - *watch.warned_at >= backup_balloon_interval_ms) {
        // Not shown (no icon yet): tried again at the next refresh.
        if (show_balloon(window, text, true)) {
            watch.warned_at = tick;
            watch.warned = std::move(text);
        }
    }
    return backup_warning_short_text(*warning);
}

void wait_for_backup_task_checks() {
    while (task_checks_running.load() != 0)
        Sleep(checks_poll_ms);
}
