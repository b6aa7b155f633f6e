#include "setup/busy.h"

#include "i18n/tr.h"
#include "setup/control_ids.h"
#include "setup/frame.h"
#include "setup/pages.h"
#include "setup/state.h"

#include <commctrl.h>

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
    set_status_line(window, StatusKind::neutral,
                    tr("Working, please wait...", "正在处理，请稍候…"));
    run_marquee(window, true);
    EnableWindow(window, FALSE);
    run_job(window, std::move(job));
}

void finish_job(HWND window) {
    setup_state(window).busy = false;
    run_marquee(window, false);
    EnableWindow(window, TRUE);
    SetForegroundWindow(window);

    const std::optional<JobResult> result = take_job_result();
    if (!result) {
        set_status_line(window, StatusKind::neutral, "");
    } else if (!result->is_error) {
        set_status_line(window, StatusKind::success, result->text);
    } else {
        set_status_line(window, StatusKind::error, first_line(result->text));
        window_message(window, result->text, MB_ICONERROR);
    }
    load_pages(window);
}
