#pragma once
// Who uses the server right now: the established TCP connections to its port as Windows lists
// them, grouped by the computer they come from. No login to MySQL and no administrator rights:
// the table is open to every user and costs one system call per address family.
#include "base/result.h"

#include <array>
#include <compare>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// An IPv4 address (in the first four bytes) or an IPv6 address; IPv4 addresses order first.
struct IpAddress {
    bool v6 = false;
    std::array<std::uint8_t, 16> bytes{};
    auto operator<=>(const IpAddress&) const = default;
};

// One row of Windows' TCP table.
struct TcpConnection {
    IpAddress local;
    std::uint16_t local_port = 0;
    IpAddress remote;
    bool established = false;
};

struct ConnectedClient {
    std::string address;        // "192.168.1.23", "fe80::1"
    std::string name;           // the computer's name from a reverse lookup; empty when unknown
    bool this_computer = false; // a program on the server's own computer
    std::uint32_t connections = 0;
    bool operator==(const ConnectedClient&) const = default;
};

// Dotted decimal, or IPv6 in its shortest form ("fe80::1").
std::string address_text(const IpAddress& address);

// The established connections to `port` by remote address, an IPv4 address carried in IPv6
// (::ffff:a.b.c.d) counted as that IPv4 address. Those from this computer (loopback, the
// connection's own local address, or one of `own`) make one entry, the last; the others follow
// the order of their addresses.
std::vector<ConnectedClient> group_clients(std::span<const TcpConnection> rows, std::uint16_t port,
                                           std::span<const IpAddress> own);

// Windows' table of TCP connections, IPv4 and, when asked, IPv6; a family whose table cannot be
// had is left out, and only when neither can be had is it an error.
Result<std::vector<TcpConnection>> tcp_connections(bool with_ipv6);

// The clients of the server on the port of my.ini, unnamed.
Result<std::vector<ConnectedClient>> connected_clients();
