#include "setup/system_checks.h"

#include "setup/connection_page.h"
#include "setup/control_ids.h"
#include "setup/controls.h"
#include "setup/pages.h"
#include "setup/state.h"
#include "svc/firewall.h"
#include "svc/tasks.h"

#include <atomic>
#include <exception>
#include <thread>

namespace {

constexpr DWORD checks_poll_ms = 20;
std::atomic<int> checks_running{0};

WPARAM firewall_answer() {
    const std::optional<bool> rule = firewall_rule_present();
    if (!rule) return check_firewall_unknown;
    return *rule ? check_firewall_open : 0;
}

WPARAM backup_task_answer() {
    const Result<TaskState> task = backup_task_state();
    if (!task) return 0;
    return check_backup_task_known | (task->present ? check_backup_task : 0);
}

WPARAM run_checks() {
    try {
        return firewall_answer() | (rotation_task_present() ? check_rotation_task : 0) |
               backup_task_answer();
    } catch (const std::exception&) {
        // No answer at all would leave the lines saying "checking…" for good.
        return check_firewall_unknown;
    }
}

} // namespace

void start_system_checks(HWND window) {
    SetupUiState& state = setup_state(window);
    state.firewall_open.reset();
    state.firewall_unknown = false;
    state.rotation_task_present.reset();
    state.backup_task_present.reset();
    ++state.checks_generation;
    repaint_control(window, id::firewall_line);
    SetTimer(window, checks_timer, 0, nullptr);
}

void run_system_checks(HWND window) {
    KillTimer(window, checks_timer);
    const LPARAM generation = setup_state(window).checks_generation;
    ++checks_running;
    try {
        // A window closed meanwhile no longer takes the message; the answer is simply lost.
        std::thread([window, generation] {
            PostMessageW(window, MSG_CHECKS_DONE, run_checks(), generation);
            --checks_running;
        }).detach();
    } catch (const std::exception&) {
        --checks_running;
        PostMessageW(window, MSG_CHECKS_DONE, check_firewall_unknown, generation);
    }
}

void wait_for_system_checks() {
    while (checks_running.load() != 0)
        Sleep(checks_poll_ms);
}

void take_system_checks(HWND window, WPARAM answers, LPARAM generation) {
    SetupUiState& state = setup_state(window);
    if (static_cast<std::uint32_t>(generation) != state.checks_generation) return;
    state.firewall_unknown = (answers & check_firewall_unknown) != 0;
    state.firewall_open.reset();
    if (!state.firewall_unknown) state.firewall_open = (answers & check_firewall_open) != 0;
    state.rotation_task_present = (answers & check_rotation_task) != 0;
    if (answers & check_backup_task_known)
        state.backup_task_present = (answers & check_backup_task) != 0;
    // The line's colour follows the state; its text alone may not repaint it.
    repaint_control(window, id::firewall_line);
    take_firewall_state(window, state.firewall_open);
    refresh_pages(window);
}
