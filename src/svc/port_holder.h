#pragma once
// Who keeps the server from listening: another program's listener on its port, named by its
// process (by the service's name when that process is a service).
#include "svc/status.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

struct PortHolder {
    unsigned long pid = 0;
    std::string name; // empty when the process cannot be named (Wine reports no owner at all)
};

// The first listener a server bound to `bind` on `port` would collide with: one on that port at
// the same address or at 0.0.0.0, or at any address when the server binds to all of them.
const Listener* colliding_listener(std::span<const Listener> listeners, Ipv4 bind,
                                   std::uint16_t port);

// The first port from `from` upward that no listener holds at any address, or nothing when the
// listener table cannot be had or every port above is taken.
std::optional<std::uint16_t> next_free_port(std::uint16_t from);

// The holder of the port for a server bound to my.ini's bind-address (missing or not IPv4:
// every address), or nothing when the port is free or the listener table cannot be had.
std::optional<PortHolder> port_holder(const std::optional<std::string>& bind, std::uint16_t port);
