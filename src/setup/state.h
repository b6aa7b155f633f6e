#pragma once
// SetupUiState: the one record of the Setup window, owned by the window's thread. It is handed
// to the window at creation and reached from a window handle only through setup_state().
#include "base/handles.h"
#include "config/settings.h"
#include "setup/diagnosis_actions.h"
#include "setup/fonts.h"
#include "setup/palette.h"
#include "svc/backup_settings.h"
#include "svc/clients.h"
#include "svc/restore_journal.h"
#include "svc/status.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Decides the visual theme of a child control.
enum class ControlKind : std::uint8_t {
    button = 0,      // push buttons and check boxes
    edit = 1,        // edit fields
    combo = 2,       // drop-down lists
    static_text = 3, // labels, texts and the progress bar
};

struct ClientsWatch;

// Pages in navigation order, and the page of the controls every page shows.
namespace page {
inline constexpr std::uint8_t overview = 0;
inline constexpr std::uint8_t connection = 1;
inline constexpr std::uint8_t backup = 2;
inline constexpr std::uint8_t general = 3;
inline constexpr std::uint8_t every = 255;
} // namespace page

struct ControlEntry {
    HWND window = nullptr;
    ControlKind kind = ControlKind::static_text;
    std::uint8_t page = page::every;
};

struct SetupUiState {
    float scale = 1.0f; // LOGPIXELSY / 96
    COLORREF accent = 0;
    Palette palette{};
    bool dark = false;
    // The page on show; at start-up the page asked for on the command line.
    std::uint8_t current_page = page::overview;
    bool busy = false; // a job is running

    std::uint8_t page_being_built = page::every; // page of the controls being created
    std::optional<SetupFonts> fonts;
    int hover_tab = -1; // navigation item under the mouse
    ServiceStatus shown_status = ServiceStatus::NotInstalled;
    // Offered beside the reason the last start failed, as last shown.
    DiagnosisAction diagnosis_action = DiagnosisAction::none;
    std::optional<Diagnosis> shown_diagnosis;
    StatusKind status_kind = StatusKind::neutral;
    // What the last load's checks found (nothing while they run): the firewall rule, and the
    // nightly rotation and backup tasks; checks_generation tells the answer of the last load from
    // older ones.
    std::optional<bool> firewall_open;
    bool firewall_unknown = false; // netsh answered, but could not tell: firewall_open stays empty
    std::optional<bool> rotation_task_present;
    std::optional<bool> backup_task_present;
    std::uint32_t checks_generation = 0;
    bool job_saves_settings = false;    // the running job is the Connection page's Save
    bool job_saves_backup = false;      // the running job is the automatic backup card's Save
    bool password_visible = false;      // passwords shown in plain text
    // Logical units the Overview's first card grew by for its status lines, and their colours.
    int overview_growth = 0;
    std::array<PaletteEntry, 5> note_colours{};
    PaletteEntry automatic_result_colour = normal_text; // the automatic backup card's last line
    std::vector<ControlEntry> controls; // in creation order
    std::vector<std::string> server_ip_values;
    std::optional<ConnectionSettings> saved_settings;
    std::optional<BackupSettings> saved_backup;   // backup.ini as loaded (the defaults when none)
    std::string backup_settings_problem;          // why backup.ini could not be loaded
    std::vector<std::string> listed_dumps;        // the automatic dumps in the list, in its order
    // A restore cut off earlier: the Backup page offers its safety dump instead of the folder.
    std::optional<InterruptedRestore> interrupted_restore;
    std::vector<std::pair<COLORREF, UniqueBrush>> brushes; // one per background colour
    // The computers connected to the server at the last reading, named as far as known; nothing
    // until the first reading has come. The watch is shared with the thread that reads.
    std::optional<std::vector<ConnectedClient>> clients;
    std::shared_ptr<ClientsWatch> clients_watch;

    COLORREF colour(PaletteEntry entry) const { return palette[entry]; }
};

// Reads the theme and accent colour of the user into the record.
void read_theme(SetupUiState& state);

// Hands the record to the window being created (WM_NCCREATE) and takes it back when the window
// goes (WM_NCDESTROY).
void attach_state(HWND window, SetupUiState* state);
void detach_state(HWND window);
// The record of a window that has one, or nothing (messages before WM_NCCREATE).
SetupUiState* find_state(HWND window);
// The record of the Setup window. A window without one means the record was used after its
// window was destroyed: the process ends at once rather than draw from freed memory.
SetupUiState& setup_state(HWND window);
