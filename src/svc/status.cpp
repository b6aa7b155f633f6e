#include "svc/status.h"

#include "base/text.h"
#include "svc/myini.h"
#include "svc/service.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <cstring>
#include <mutex>
#include <type_traits>
#include <vector>

namespace {

constexpr Ipv4 loopback{127, 0, 0, 1};
constexpr Ipv4 any_address{0, 0, 0, 0};
constexpr ULONG listener_table_start = 16384;
constexpr int listener_table_calls = 3;
constexpr long connect_limit_us = 200'000;

} // namespace

namespace {

template <class Table> std::vector<Listener> listeners_of(const Table& table) {
    std::vector<Listener> listeners;
    for (DWORD i = 0; i < table.dwNumEntries; ++i) {
        const auto& row = table.table[i];
        Listener listener{};
        std::memcpy(listener.address.data(), &row.dwLocalAddr, 4);
        listener.port = ntohs(static_cast<u_short>(row.dwLocalPort));
        if constexpr (std::is_same_v<Table, MIB_TCPTABLE_OWNER_PID>) listener.pid = row.dwOwningPid;
        listeners.push_back(listener);
    }
    return listeners;
}

} // namespace

std::optional<std::vector<Listener>> listener_table(bool owners) {
    std::vector<std::uint64_t> buffer(listener_table_start / sizeof(std::uint64_t));
    for (int call = 0; call < listener_table_calls; ++call) {
        ULONG size = static_cast<ULONG>(buffer.size() * sizeof(std::uint64_t));
        DWORD result = GetExtendedTcpTable(
            buffer.data(), &size, FALSE, AF_INET,
            owners ? TCP_TABLE_OWNER_PID_LISTENER : TCP_TABLE_BASIC_LISTENER, 0);
        if (result == ERROR_INSUFFICIENT_BUFFER) {
            buffer.resize(size / sizeof(std::uint64_t) + 1);
            continue;
        }
        if (result != NO_ERROR) return std::nullopt;
        if (owners)
            return listeners_of(*reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buffer.data()));
        return listeners_of(*reinterpret_cast<const MIB_TCPTABLE*>(buffer.data()));
    }
    return std::nullopt;
}

namespace {

void start_winsock() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

bool connects_within_limit(Ipv4 target, std::uint16_t port) {
    start_winsock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return false;
    u_long non_blocking = 1;
    ioctlsocket(s, FIONBIO, &non_blocking);
    sockaddr_in to{.sin_family = AF_INET, .sin_port = htons(port)};
    std::memcpy(&to.sin_addr, target.data(), 4);
    bool connected = false;
    if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
        connected = true;
    } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval limit{.tv_sec = 0, .tv_usec = connect_limit_us};
        if (select(0, nullptr, &writable, &failed, &limit) > 0 && FD_ISSET(s, &writable) &&
            !FD_ISSET(s, &failed)) {
            int error = 0;
            int length = sizeof error;
            connected = getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                                   &length) == 0 &&
                        error == 0;
        }
    }
    closesocket(s);
    return connected;
}

} // namespace

ServiceStatus status_of_state(unsigned long state, bool (*accepts)()) {
    switch (state) {
    case SERVICE_START_PENDING:
    case SERVICE_CONTINUE_PENDING:
        return ServiceStatus::Starting;
    case SERVICE_STOP_PENDING:
    case SERVICE_PAUSE_PENDING:
        return ServiceStatus::Stopping;
    case SERVICE_RUNNING:
        return accepts() ? ServiceStatus::Running : ServiceStatus::RunningNotAccepting;
    default:
        return ServiceStatus::Stopped;
    }
}

ServiceStatus service_status() {
    auto query = query_service();
    if (!query || !query->installed) return ServiceStatus::NotInstalled;
    return status_of_state(query->state, port_accepts);
}

Ipv4 probe_target(const std::optional<std::string>& bind_address) {
    if (!bind_address) return loopback;
    auto parsed = parse_ipv4(*bind_address);
    if (!parsed || *parsed == any_address) return loopback;
    return *parsed;
}

bool listener_accepts(std::span<const Listener> listeners, Ipv4 target, std::uint16_t port) {
    for (const auto& listener : listeners)
        if (listener.port == port && (listener.address == any_address || listener.address == target))
            return true;
    return false;
}

bool port_accepts() {
    const Ipv4 target = probe_target(read_my_ini_value("bind-address"));
    const std::uint16_t port = configured_port();
    if (auto listeners = listener_table()) return listener_accepts(*listeners, target, port);
    return connects_within_limit(target, port);
}
