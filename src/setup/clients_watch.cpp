#include "setup/clients_watch.h"

#include "setup/frame.h"
#include "setup/state.h"
#include "svc/client_names.h"

#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

struct ClientsWatch {
    std::mutex lock;
    std::optional<std::vector<ConnectedClient>> latest; // a reading the window has not taken
    bool reading = false;
    HostNames names;
};

namespace {

std::shared_ptr<ClientsWatch> watch_of(SetupUiState& state) {
    if (!state.clients_watch) state.clients_watch = std::make_shared<ClientsWatch>();
    return state.clients_watch;
}

void publish(ClientsWatch& watch, HWND window, std::vector<ConnectedClient> clients) {
    {
        std::lock_guard guard(watch.lock);
        watch.latest = std::move(clients);
    }
    // A window closed meanwhile no longer takes the message; the reading is simply lost.
    PostMessageW(window, MSG_CLIENTS_READ, 0, 0);
}

// The count and the names known go out at once; names still to be looked up follow when found.
void read(ClientsWatch& watch, HWND window) {
    auto clients = connected_clients();
    if (!clients) return;
    name_clients(watch.names, *clients);
    publish(watch, window, *clients);
    if (!look_up_names(watch.names, *clients)) return;
    name_clients(watch.names, *clients);
    publish(watch, window, std::move(*clients));
}

void done_reading(ClientsWatch& watch) {
    std::lock_guard guard(watch.lock);
    watch.reading = false;
}

} // namespace

void read_clients(HWND window) {
    SetupUiState& state = setup_state(window);
    if (state.busy) return;
    std::shared_ptr<ClientsWatch> watch = watch_of(state);
    {
        std::lock_guard guard(watch->lock);
        if (std::exchange(watch->reading, true)) return;
    }
    try {
        std::thread([window, watch] {
            try {
                read(*watch, window);
            } catch (const std::exception&) {
                // The last reading stands until the next one.
            }
            done_reading(*watch);
        }).detach();
    } catch (const std::exception&) {
        done_reading(*watch);
    }
}

bool take_clients(HWND window) {
    SetupUiState& state = setup_state(window);
    if (!state.clients_watch) return false;
    std::lock_guard guard(state.clients_watch->lock);
    if (!state.clients_watch->latest) return false;
    state.clients = std::exchange(state.clients_watch->latest, std::nullopt);
    return true;
}

bool cut_off_confirmed(HWND window, CutOff action) {
    // Read again now: the last reading may be two seconds old, and a register may have come since.
    auto clients = connected_clients();
    if (!clients || clients->empty()) return true;
    name_clients(watch_of(setup_state(window))->names, *clients);
    return window_message(window, cut_off_question(action, *clients),
                          MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}
