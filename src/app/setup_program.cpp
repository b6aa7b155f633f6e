#include "app/setup_program.h"

#include "app/modes.h"
#include "app/quit_signal.h"
#include "base/handles.h"
#include "base/security.h"
#include "base/system_library.h"
#include "base/text.h"
#include "instance/data_folder.h"
#include "instance/trust.h"
#include "jobs/activity_log.h"
#include "jobs/operation_lock.h"
#include "setup/frame.h"
#include "setup/geometry.h"
#include "setup/pages.h"
#include "setup/system_checks.h"
#include "setup/window.h"
#include "ui/theme.h"

#include <aclapi.h>
#include <commctrl.h>

namespace {

constexpr DWORD setup_window_style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
static_assert(setup_window_style == 0x02CA0000);
constexpr WORD program_icon = 1;
constexpr std::string_view setup_mutex_descriptor = "O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";

float screen_scale() {
    WindowDc screen(nullptr);
    return scale_for_dpi(GetDeviceCaps(screen.get(), LOGPIXELSY));
}

// The mutex lives in the session's namespace, where anybody signed in to it may make it first (a
// cashier at the shop's computer, before an administrator opens Setup there): only one made by
// an administrator's process, as ours are, tells that a Setup window runs.
bool another_setup_runs(UniqueHandle& mutex) {
    // Ours is made with the Administrators group as its owner, which only an elevated process may
    // give, so that it reads back as an administrator's wherever it is asked.
    auto ours = parse_descriptor(setup_mutex_descriptor);
    SECURITY_ATTRIBUTES attributes{.nLength = sizeof attributes,
                                   .lpSecurityDescriptor = ours ? ours->get() : nullptr,
                                   .bInheritHandle = FALSE};
    mutex.reset(CreateMutexW(&attributes, FALSE, setup_mutex_name));
    if (!mutex || GetLastError() != ERROR_ALREADY_EXISTS) return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (GetSecurityInfo(mutex.get(), SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &raw) != ERROR_SUCCESS)
        return false;
    OwnedDescriptor descriptor(raw);
    const std::string made_by = sid_text(owner);
    return made_by == default_owner() || made_by_administrator(made_by, administrator_user());
}

// The window reads the data folder with administrator rights: it is checked first, as every
// operation checks it. While another operation holds the lock, that operation checks it, and the
// pages read only the administrators' own files anyway.
void check_data_folder() {
    auto lock = try_operation_lock("--setup");
    Result<void> checked =
        lock ? (*lock ? secure_data_root() : Result<void>{}) : Result<void>(fail(lock.error()));
    if (checked) return;
    log_mode_failure("--setup", checked.error(), true);
    show_message(checked.error(), true);
}

void bring_open_window_forward() {
    HWND open = FindWindowW(setup_window_class, nullptr);
    if (!open) return;
    ShowWindow(open, SW_RESTORE);
    SetForegroundWindow(open);
}

bool register_setup_class(HINSTANCE instance) {
    WNDCLASSW window_class{
        .style = 0,
        .lpfnWndProc = setup_window_procedure,
        .hInstance = instance,
        .hIcon = LoadIconW(instance, MAKEINTRESOURCEW(program_icon)),
        .hCursor = LoadCursorW(nullptr, IDC_ARROW),
        .hbrBackground = nullptr,
        .lpszMenuName = nullptr,
        .lpszClassName = setup_window_class,
    };
    // A second window in the same process (tests) finds the class registered already.
    return RegisterClassW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The outer rectangle for the client size, centred on the primary screen.
RECT centred_frame(float scale) {
    const SIZE client = client_size(scale);
    RECT frame{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&frame, setup_window_style, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    return {x, y, x + width, y + height};
}

} // namespace

HWND open_setup_window(SetupUiState& state) {
    // Loaded here rather than imported: only this window has common controls, and the tray
    // would otherwise carry the library all day.
    static auto* const init_controls =
        system_function<decltype(InitCommonControlsEx)>(L"comctl32.dll", "InitCommonControlsEx");
    INITCOMMONCONTROLSEX controls{.dwSize = sizeof controls,
                                  .dwICC = ICC_PROGRESS_CLASS | ICC_DATE_CLASSES};
    if (init_controls) init_controls(&controls);
    state.scale = screen_scale();
    create_fonts(state);
    apply_app_dark_mode();
    read_theme(state);

    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!register_setup_class(instance)) return nullptr;
    const RECT frame = centred_frame(state.scale);
    HWND window =
        CreateWindowExW(0, setup_window_class, widen(window_title()).c_str(), setup_window_style,
                        frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
                        nullptr, nullptr, instance, &state);
    if (!window) return nullptr;
    allow_window_dark_mode(window, state.dark);
    set_window_dark(window, state.dark);

    create_controls(window);
    load_pages(window);
    SetTimer(window, refresh_timer, refresh_period_ms, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    return window;
}

void run_setup_program(std::uint8_t initial_page) {
    SetupUiState state;
    state.current_page = initial_page;
    // The mutex lives as long as the process; a second start only brings the first forward.
    UniqueHandle instance_mutex;
    if (another_setup_runs(instance_mutex)) {
        bring_open_window_forward();
        return;
    }
    check_data_folder();
    HWND window = open_setup_window(state);
    if (!window) return;
    const QuitWatch quit = watch_for_quit(window);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab, Shift+Tab and Escape move between and act on the controls as in a dialog.
        if (IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    wait_for_system_checks();
}
