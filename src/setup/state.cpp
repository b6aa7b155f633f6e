#include "setup/state.h"

#include "base/fatal.h"

#include "ui/theme.h"

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
    if (!state) end_process_now("the Setup window's state was used after the window was destroyed");
    return *state;
}
