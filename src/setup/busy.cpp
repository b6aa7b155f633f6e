#include "setup/busy.h"

#include "i18n/tr.h"
#include "setup/control_ids.h"
#include "setup/frame.h"
#include "setup/state.h"

#include <commctrl.h>

#include <variant>

namespace {
constexpr LPARAM marquee_interval_ms = 30;

void run_marquee(HWND window, bool on) {
    HWND bar = GetDlgItem(window, id::progress_bar);
    if (!bar) return;
    if (on) ShowWindow(bar, SW_SHOW);
    SendMessageW(bar, PBM_SETMARQUEE, on ? TRUE : FALSE, on ? marquee_interval_ms : 0);
    if (!on) ShowWindow(bar, SW_HIDE);
}
} // namespace

void start_job(HWND window, Job job) {
    SetupUiState& state = setup_state(window);
    if (state.busy) return;
    state.busy = true;
    state.job_saves_settings = std::holds_alternative<job::Apply>(job);
    state.job_saves_backup = std::holds_alternative<job::SaveBackupSettings>(job);
    // A restore starts a stopped server first, which takes a while of its own.
    const bool starts_first =
        std::holds_alternative<job::Restore>(job) && state.shown_status != ServiceStatus::Running;
    set_status_line(window, StatusKind::neutral,
                    starts_first
                        ? tr("Starting MySQL, then restoring...", "正在启动 MySQL，然后恢复…")
                        : tr("Working, please wait...", "正在处理，请稍候…"));
    run_marquee(window, true);
    EnableWindow(window, FALSE);
    run_job(window, std::move(job));
}

void end_busy(HWND window) {
    setup_state(window).busy = false;
    run_marquee(window, false);
    EnableWindow(window, TRUE);
    SetForegroundWindow(window);
}
