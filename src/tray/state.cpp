#include "tray/state.h"

#include "base/fatal.h"

namespace {

[[noreturn]] void state_gone() {
    end_process_now("the tray window's state was used after the window was destroyed");
}

} // namespace

void attach_tray_state(HWND window, const CREATESTRUCTW& create) {
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create.lpCreateParams));
}

void release_tray_state(HWND window) {
    TrayState* state = find_tray_state(window);
    if (!state) return;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    state->icons = {};
}

TrayState* find_tray_state(HWND window) {
    return reinterpret_cast<TrayState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

TrayState& tray_state(HWND window) {
    TrayState* state = find_tray_state(window);
    if (!state) state_gone();
    return *state;
}
