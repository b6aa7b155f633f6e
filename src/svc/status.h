#pragma once
// Whether the database is usable: the service state combined with whether the configured port
// really accepts connections.
#include "config/addresses.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

enum class ServiceStatus : std::uint8_t {
    NotInstalled,
    Stopped,
    Starting,
    Stopping,
    RunningNotAccepting,
    Running,
};

// Never fails: a service that cannot be queried counts as not installed.
ServiceStatus service_status();

// Asks the listener table first; only when it cannot be had, a 200 ms connection attempt.
bool port_accepts();

// The mapping of an installed service's state; `accepts` is asked only for state 4 (running).
ServiceStatus status_of_state(unsigned long state, bool (*accepts)());

// Where to probe: the bind-address of my.ini unless it is missing, not IPv4 or 0.0.0.0.
Ipv4 probe_target(const std::optional<std::string>& bind_address);

struct Listener {
    Ipv4 address;
    std::uint16_t port;
    unsigned long pid = 0; // the owning process; Wine always reports 0
};
// Windows' table of IPv4 listeners, or nothing when it cannot be had. With `owners`, the owning
// processes too, which Windows finds by searching its processes (several times the cost): the
// probe that every status refresh and client start makes needs only addresses and ports.
std::optional<std::vector<Listener>> listener_table(bool owners = false);
// A listener on the port at 0.0.0.0 or at the target address.
bool listener_accepts(std::span<const Listener> listeners, Ipv4 target, std::uint16_t port);
