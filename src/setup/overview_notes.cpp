#include "setup/overview_notes.h"

#include "base/handles.h"
#include "base/text.h"
#include "i18n/language.h"
#include "i18n/tr.h"
#include "jobs/mode_texts.h"
#include "setup/control_ids.h"
#include "setup/backup_texts.h"
#include "setup/controls.h"
#include "setup/geometry.h"
#include "setup/overview_texts.h"
#include "setup/state.h"
#include "svc/backup_settings.h"
#include "svc/backup_state.h"
#include "svc/myini.h"
#include "svc/recover_journal.h"
#include "svc/restore_journal.h"
#include "svc/start_failure.h"

#include <algorithm>

namespace {

constexpr int note_x = 280;
constexpr int note_width = 464;
constexpr int notes_top = 146; // below the detail line
constexpr int line_height = 20;
constexpr int most_lines = 3;
constexpr int action_width = 280;
constexpr int action_height = 30;
constexpr int action_row = 36; // the button and the space below it

static_assert(std::tuple_size_v<decltype(SetupUiState::note_colours)> == id::overview_note_slots);

bool is_note(int control_id) {
    return control_id >= id::overview_note_first &&
           control_id < id::overview_note_first + id::overview_note_slots;
}

// As many lines as the text takes wrapped in the control's font, up to three.
int height_of(HWND control, const std::string& text) {
    const std::wstring units = widen(text);
    WindowDc dc(control);
    SelectedObject font(dc.get(), reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT one{}, wrapped{0, 0, px(setup_state(GetParent(control)).scale, note_width), 0};
    DrawTextW(dc.get(), L"Ag", 2, &one, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    DrawTextW(dc.get(), units.c_str(), static_cast<int>(units.size()), &wrapped,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    const int lines = one.bottom > 0 ? (wrapped.bottom + one.bottom - 1) / one.bottom : 1;
    return std::clamp(lines, 1, most_lines) * line_height;
}

// Moves everything of the Overview below the status lines, and the frame's own controls at the
// bottom, by the change in growth; the window grows with the card.
void grow_overview(HWND window, int growth) {
    SetupUiState& state = setup_state(window);
    if (growth == state.overview_growth) return;
    const float s = state.scale;
    const int shift = px(s, growth) - px(s, state.overview_growth);
    state.overview_growth = growth;
    for (const ControlEntry& control : state.controls) {
        const int control_id = GetDlgCtrlID(control.window);
        if (control.page != page::overview && control.page != page::every) continue;
        if (is_note(control_id) || control_id == id::status_text || control_id == id::detail_line ||
            control_id == id::diagnosis_action)
            continue;
        RECT r{};
        GetWindowRect(control.window, &r);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        // Without NOCOPYBITS Windows would move the old picture along, over whatever is there.
        SetWindowPos(control.window, nullptr, r.left, r.top + shift, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
    }
    RECT frame{0, 0, px(s, client_width_units), px(s, client_height_units + growth)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_ERASENOW);
}

} // namespace

std::optional<OverviewNote> automatic_backup_note(std::optional<bool> backup_task_present) {
    // Settings that cannot be read count as on: the run that reads them fails and says why.
    const Result<BackupSettings> settings = load_backup_settings();
    if (settings && !settings->enabled) return std::nullopt;
    const BackupRun run = load_backup_run().value_or(BackupRun{});
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::optional<std::string> line = automatic_backup_line(run, backup_task_present, now);
    if (!line) return std::nullopt;
    return OverviewNote{std::move(*line), backup_warning(run, backup_task_present, now)
                                              ? transition_colour
                                              : secondary_text};
}

std::vector<OverviewNote> overview_notes(const std::optional<Diagnosis>& diagnosis,
                                         ServiceStatus status,
                                         std::optional<bool> rotation_task_present,
                                         std::optional<bool> backup_task_present) {
    std::vector<OverviewNote> notes;
    // First: until the rebuild is finished, the shop may work on an empty database; its action
    // (the rebuild's, finished) stands below it and not below the diagnosis.
    const std::optional<InterruptedRecovery> rebuild = interrupted_recovery();
    if (rebuild) notes.push_back({interrupted_recovery_note(*rebuild), error_colour, true});
    // Until the safety dump is back in, the shop works on half-restored data (unless the restore
    // was the cut-off rebuild's, whose safety dump holds the new, empty database).
    if (auto interrupted = interrupted_restore(); interrupted && !rebuild)
        notes.push_back({interrupted_restore_note(interrupted->safety_dump), error_colour});
    if (diagnosis)
        notes.push_back(
            {dated_diagnosis_text(*diagnosis, current_language()), error_colour, !rebuild});
    // The port and address shown are what the server uses; where my.ini has them from a group an
    // administrator added, the operator learns why they differ from the Connection page.
    for (const MyIniOverride& found : read_my_ini_overrides())
        notes.push_back({my_ini_override_text(found, current_language()), transition_colour});
    if (rotation_task_warned(status, rotation_task_present))
        notes.push_back(
            {std::string(tr("Nightly log rotation task missing", "缺少每晚的日志分隔计划任务")),
             transition_colour});
    // Without a server there is nothing to back up.
    if (status == ServiceStatus::NotInstalled) return notes;
    if (auto line = automatic_backup_note(backup_task_present)) notes.push_back(std::move(*line));
    return notes;
}

void create_overview_note_controls(HWND window) {
    // New controls stand where nothing has grown yet.
    setup_state(window).overview_growth = 0;
    for (int slot = 0; slot < id::overview_note_slots; ++slot)
        create_text(window, id::overview_note_first + slot, "", {note_x, notes_top, note_width, 0});
    create_button(window, id::diagnosis_action, "",
                  {note_x, notes_top, action_width, action_height});
}

void show_overview_notes(HWND window, const std::vector<OverviewNote>& notes,
                         std::string_view action) {
    SetupUiState& state = setup_state(window);
    int y = notes_top;
    bool action_shown = false;
    for (int slot = 0; slot < id::overview_note_slots; ++slot) {
        HWND control = GetDlgItem(window, id::overview_note_first + slot);
        if (!control) continue;
        const auto index = static_cast<std::size_t>(slot);
        const OverviewNote* note = index < notes.size() ? &notes[index] : nullptr;
        const int height = note ? height_of(control, note->text) : 0;
        if (note && state.note_colours[index] != note->colour) {
            state.note_colours[index] = note->colour;
            repaint_control(window, id::overview_note_first + slot);
        }
        set_text(window, id::overview_note_first + slot, note ? note->text : "");
        const RECT place = scaled_box(state.scale, {note_x, y, note_width, height});
        SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left,
                     place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
        y += height;
        if (note && note->with_action && !action.empty()) {
            const RECT button =
                scaled_box(state.scale, {note_x, y + 2, action_width, action_height});
            SetWindowPos(GetDlgItem(window, id::diagnosis_action), nullptr, button.left, button.top,
                         0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            set_text(window, id::diagnosis_action, action);
            action_shown = true;
            y += action_row;
        }
    }
    show_control(window, id::diagnosis_action,
                 action_shown && state.current_page == page::overview);
    grow_overview(window, y - notes_top);
}
