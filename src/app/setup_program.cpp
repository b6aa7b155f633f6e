#include "app/setup_program.h"

#include "base/handles.h"
#include "base/system_library.h"
#include "base/text.h"
#include "setup/frame.h"
#include "setup/geometry.h"
#include "setup/pages.h"
#include "setup/system_checks.h"
#include "setup/window.h"
#include "ui/theme.h"

#include <commctrl.h>

namespace {

constexpr DWORD setup_window_style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
static_assert(setup_window_style == 0x02CA0000);
constexpr WORD program_icon = 1;

float screen_scale() {
    WindowDc screen(nullptr);
    return scale_for_dpi(GetDeviceCaps(screen.get(), LOGPIXELSY));
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
    UniqueHandle instance_mutex(CreateMutexW(nullptr, FALSE, setup_mutex_name));
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        bring_open_window_forward();
        return;
    }
    HWND window = open_setup_window(state);
    if (!window) return;
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab, Shift+Tab and Escape move between and act on the controls as in a dialog.
        if (IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    wait_for_system_checks();
}
