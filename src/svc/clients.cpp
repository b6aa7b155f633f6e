#include "svc/clients.h"

#include "config/addresses.h"
#include "svc/myini.h"
#include "svc/service.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>

namespace {

constexpr ULONG table_start_bytes = 16384;
constexpr int table_calls = 3;
constexpr std::size_t ipv6_groups = 8;
constexpr std::array<std::uint8_t, 12> mapped_ipv4_prefix{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
constexpr std::uint8_t ipv4_loopback_first = 127;

IpAddress ipv4_of(const void* four_bytes) {
    IpAddress address;
    std::memcpy(address.bytes.data(), four_bytes, 4);
    return address;
}

IpAddress ipv6_of(const UCHAR (&sixteen_bytes)[16]) {
    IpAddress address{.v6 = true};
    std::memcpy(address.bytes.data(), sixteen_bytes, 16);
    return address;
}

// A client that reaches an IPv6 socket over IPv4 shows as ::ffff:a.b.c.d.
IpAddress unmapped(IpAddress address) {
    if (!address.v6 ||
        !std::equal(mapped_ipv4_prefix.begin(), mapped_ipv4_prefix.end(), address.bytes.begin()))
        return address;
    IpAddress ipv4;
    std::copy_n(address.bytes.begin() + mapped_ipv4_prefix.size(), 4, ipv4.bytes.begin());
    return ipv4;
}

bool is_loopback(const IpAddress& address) {
    if (!address.v6) return address.bytes[0] == ipv4_loopback_first;
    return std::all_of(address.bytes.begin(), address.bytes.end() - 1, [](auto b) { return !b; }) &&
           address.bytes.back() == 1;
}

TcpConnection row_of(const MIB_TCPROW& row) {
    return {.local = ipv4_of(&row.dwLocalAddr),
            .local_port = ntohs(static_cast<u_short>(row.dwLocalPort)),
            .remote = ipv4_of(&row.dwRemoteAddr),
            .established = row.dwState == MIB_TCP_STATE_ESTAB};
}

TcpConnection row_of(const MIB_TCP6ROW_OWNER_PID& row) {
    return {.local = ipv6_of(row.ucLocalAddr),
            .local_port = ntohs(static_cast<u_short>(row.dwLocalPort)),
            .remote = ipv6_of(row.ucRemoteAddr),
            .established = row.dwState == MIB_TCP_STATE_ESTAB};
}

// The rows of one family's table in the given class, or the error of the call. The buffer grows
// to the size Windows asks for, a few times over for connections that come meanwhile.
template <class Table>
std::expected<std::vector<TcpConnection>, DWORD> read_table(ULONG family, TCP_TABLE_CLASS kind) {
    std::vector<std::uint64_t> buffer(table_start_bytes / sizeof(std::uint64_t));
    for (int call = 0; call < table_calls; ++call) {
        ULONG size = static_cast<ULONG>(buffer.size() * sizeof(std::uint64_t));
        const DWORD result = GetExtendedTcpTable(buffer.data(), &size, FALSE, family, kind, 0);
        if (result == ERROR_INSUFFICIENT_BUFFER) {
            buffer.resize(size / sizeof(std::uint64_t) + 1);
            continue;
        }
        if (result != NO_ERROR) return std::unexpected(result);
        const auto* table = reinterpret_cast<const Table*>(buffer.data());
        std::vector<TcpConnection> rows;
        rows.reserve(table->dwNumEntries);
        for (DWORD i = 0; i < table->dwNumEntries; ++i)
            rows.push_back(row_of(table->table[i]));
        return rows;
    }
    return std::unexpected(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

bool from_this_computer(const TcpConnection& row, std::span<const IpAddress> own) {
    const IpAddress from = unmapped(row.remote);
    return is_loopback(from) || from == unmapped(row.local) ||
           std::ranges::find(own, from) != own.end();
}

bool counts(const TcpConnection& row, std::uint16_t port) {
    return row.established && row.local_port == port;
}

} // namespace

std::string address_text(const IpAddress& address) {
    if (!address.v6) {
        Ipv4 ipv4;
        std::copy_n(address.bytes.begin(), 4, ipv4.begin());
        return ipv4_text(ipv4);
    }
    std::array<unsigned, ipv6_groups> groups{};
    for (std::size_t i = 0; i < ipv6_groups; ++i)
        groups[i] = address.bytes[2 * i] << 8 | address.bytes[2 * i + 1];
    // The longest run of two or more zero groups becomes "::", the first of equal runs.
    std::size_t run_start = ipv6_groups, run_length = 1;
    for (std::size_t i = 0; i < ipv6_groups;) {
        std::size_t j = i;
        while (j < ipv6_groups && groups[j] == 0)
            ++j;
        if (j - i > run_length) {
            run_start = i;
            run_length = j - i;
        }
        i = j == i ? i + 1 : j;
    }
    std::string text;
    char group[8];
    for (std::size_t i = 0; i < ipv6_groups; ++i) {
        if (i == run_start) {
            text += "::";
            i += run_length - 1;
            continue;
        }
        if (!text.empty() && !text.ends_with(':')) text += ':';
        std::snprintf(group, sizeof group, "%x", groups[i]);
        text += group;
    }
    return text;
}

std::vector<ConnectedClient> group_clients(std::span<const TcpConnection> rows, std::uint16_t port,
                                           std::span<const IpAddress> own) {
    std::map<IpAddress, std::uint32_t> remote;
    std::optional<IpAddress> own_lowest;
    std::uint32_t own_connections = 0;
    for (const TcpConnection& row : rows) {
        if (!counts(row, port)) continue;
        const IpAddress from = unmapped(row.remote);
        if (from_this_computer(row, own)) {
            own_lowest = own_lowest ? std::min(*own_lowest, from) : from;
            ++own_connections;
        } else {
            ++remote[from];
        }
    }
    std::vector<ConnectedClient> clients;
    for (const auto& [address, connections] : remote)
        clients.push_back({.address = address_text(address), .connections = connections});
    if (own_lowest)
        clients.push_back({.address = address_text(*own_lowest),
                           .this_computer = true,
                           .connections = own_connections});
    return clients;
}

Result<std::vector<TcpConnection>> tcp_connections(bool with_ipv6) {
    // The basic IPv4 table: asking for the owners would have Wine search every process's open
    // files for each row. IPv6 has only the table with owners.
    auto ipv4 = read_table<MIB_TCPTABLE>(AF_INET, TCP_TABLE_BASIC_CONNECTIONS);
    auto ipv6 = with_ipv6
                    ? read_table<MIB_TCP6TABLE_OWNER_PID>(AF_INET6, TCP_TABLE_OWNER_PID_CONNECTIONS)
                    : std::vector<TcpConnection>{};
    if (!ipv4 && !ipv6) return fail(win32_error_text("GetExtendedTcpTable", ipv4.error()));
    std::vector<TcpConnection> rows = ipv4.value_or(std::vector<TcpConnection>{});
    if (ipv6) rows.insert(rows.end(), ipv6->begin(), ipv6->end());
    return rows;
}

Result<std::vector<ConnectedClient>> connected_clients() {
    // A server bound to an IPv4 address (0.0.0.0 included, as the program writes my.ini) has no
    // IPv6 clients; one that an administrator bound otherwise may.
    const std::optional<std::string> bind = read_my_ini_value("bind-address");
    auto rows = tcp_connections(!bind || !parse_ipv4(*bind));
    if (!rows) return fail(rows.error());
    const std::uint16_t port = configured_port();
    // The network cards are asked only about a client that is not plainly this computer: a
    // program here that connects to one of its addresses almost always comes from that address.
    std::vector<IpAddress> own;
    if (std::ranges::any_of(*rows, [&](const TcpConnection& row) {
            return counts(row, port) && !from_this_computer(row, {});
        }))
        for (const Ipv4& address : local_ipv4_addresses())
            own.push_back(ipv4_of(address.data()));
    return group_clients(*rows, port, own);
}
