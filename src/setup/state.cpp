#include "setup/state.h"

#include "tray/theme.h"

namespace {
// Exit code of a process that found a window without its record (the code abort() uses).
constexpr UINT lost_state_exit_code = 3;
} // namespace

void read_theme(SetupUiState& state) {
    state.dark = is_dark_theme();
    state.palette = palette_for(state.dark);
    state.accent = accent_color();
}

void attach_state(HWND window, SetupUiState* state) {
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
}

void detach_state(HWND window) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
}

SetupUiState* find_state(HWND window) {
    return reinterpret_cast<SetupUiState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

SetupUiState& setup_state(HWND window) {
    SetupUiState* state = find_state(window);
    if (!state) TerminateProcess(GetCurrentProcess(), lost_state_exit_code);
    return *state;
}
