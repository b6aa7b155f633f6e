#include "svc/client_names.h"

#include "base/text.h"
#include "base/winsock.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <exception>
#include <future>
#include <memory>
#include <thread>

namespace {

// The computer's name without its domain ("TILL-1"), or empty when the address has none.
std::string reverse_lookup(const std::string& address) {
    WinsockSession winsock;
    if (!winsock.started()) return {};
    ADDRINFOW hints{.ai_flags = AI_NUMERICHOST, .ai_family = AF_UNSPEC};
    ADDRINFOW* parsed = nullptr;
    if (GetAddrInfoW(widen(address).c_str(), nullptr, &hints, &parsed) != 0 || !parsed) return {};
    wchar_t host[NI_MAXHOST] = {};
    const int looked_up = GetNameInfoW(parsed->ai_addr, static_cast<socklen_t>(parsed->ai_addrlen),
                                       host, NI_MAXHOST, nullptr, 0, NI_NAMEREQD | NI_NOFQDN);
    FreeAddrInfoW(parsed);
    return looked_up == 0 ? narrow(host) : std::string();
}

} // namespace

bool look_up_names(HostNames& names, std::span<const ConnectedClient> clients) {
    bool found = false;
    for (const ConnectedClient& client : clients) {
        if (client.this_computer) continue;
        {
            std::lock_guard guard(names.lock);
            if (names.found.contains(client.address)) continue;
        }
        // Outside the lock: the window reads the cache meanwhile.
        std::string name = reverse_lookup(client.address);
        found = found || !name.empty();
        std::lock_guard guard(names.lock);
        names.found[client.address] = std::move(name);
    }
    return found;
}

void name_clients(HostNames& names, std::vector<ConnectedClient>& clients) {
    std::lock_guard guard(names.lock);
    for (ConnectedClient& client : clients)
        if (auto known = names.found.find(client.address); known != names.found.end())
            client.name = known->second;
}

void name_clients_within(std::vector<ConnectedClient>& clients, std::chrono::milliseconds limit) {
    if (std::ranges::all_of(clients, [](const auto& client) { return client.this_computer; }))
        return;
    // Shared with the thread, which may outlive this call: the process may end while it waits.
    auto names = std::make_shared<HostNames>();
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    try {
        std::thread([names, done, wanted = clients] {
            try {
                look_up_names(*names, wanted);
            } catch (const std::exception&) {
                // The addresses stand in for the names.
            }
            done->set_value();
        }).detach();
    } catch (const std::exception&) {
        return;
    }
    finished.wait_for(limit);
    name_clients(*names, clients);
}
