#include "setup/busy.h"

#include "i18n/tr.h"
#include "setup/connection_page.h"
#include "setup/control_ids.h"
#include "setup/frame.h"
#include "setup/pages.h"
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
    set_status_line(window, StatusKind::neutral,
                    tr("Working, please wait...", "正在处理，请稍候…"));
    run_marquee(window, true);
    EnableWindow(window, FALSE);
    run_job(window, std::move(job));
}

void finish_job(HWND window) {
    SetupUiState& state = setup_state(window);
    state.busy = false;
    run_marquee(window, false);
    EnableWindow(window, TRUE);
    SetForegroundWindow(window);

    const std::optional<JobResult> result = take_job_result();
    // What the operator typed on the Connection page outlives every job but a Save that worked:
    // a failed Save leaves the typed values to correct, another job never concerned them.
    const bool saved = result && !result->is_error && state.job_saves_settings;
    const std::optional<ConnectionSettings> kept =
        saved ? std::nullopt : unsaved_connection_edits(window);
    if (!result) {
        set_status_line(window, StatusKind::neutral, "");
    } else if (!result->is_error) {
        set_status_line(window, StatusKind::success, result->text);
        if (!result->warning.empty()) window_message(window, result->warning, MB_ICONWARNING);
    } else {
        set_status_line(window, StatusKind::error, first_line(result->text));
        window_message(window, result->text, MB_ICONERROR);
    }
    load_pages(window);
    if (kept) load_connection_page(window, *kept);
}
