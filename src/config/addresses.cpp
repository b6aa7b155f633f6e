#include "config/addresses.h"

#include "base/handles.h"
#include "base/text.h"
#include "base/winsock.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <algorithm>
#include <charconv>

namespace {

constexpr ULONG first_buffer_size = 16384;
constexpr int most_adapter_queries = 3;
constexpr ULONG adapter_query_flags =
    GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;

constexpr std::uint8_t loopback_first = 127;
constexpr Ipv4 link_local_prefix = {169, 254, 0, 0};

// Any public address serves: a datagram connect only asks the routing table which interface
// would be used, it sends nothing.
constexpr Ipv4 public_resolver = {1, 1, 1, 1};
constexpr std::uint16_t dns_port = 53;

constexpr std::string_view loopback_text = "127.0.0.1";

constexpr size_t max_ipv4_text = 15;
constexpr int max_octet = 255;
constexpr size_t max_octet_digits = 3;

bool usable(const Ipv4& address) {
    if (address[0] == loopback_first) return false;
    return !(address[0] == link_local_prefix[0] && address[1] == link_local_prefix[1]);
}

Ipv4 bytes_of(const in_addr& address) {
    Ipv4 bytes;
    std::copy_n(reinterpret_cast<const std::uint8_t*>(&address.s_addr), bytes.size(),
                bytes.begin());
    return bytes;
}

in_addr in_addr_of(const Ipv4& address) {
    in_addr result{};
    std::copy(address.begin(), address.end(), reinterpret_cast<std::uint8_t*>(&result.s_addr));
    return result;
}

std::optional<std::string> computer_name() {
    DWORD n = GetEnvironmentVariableW(L"COMPUTERNAME", nullptr, 0);
    if (n == 0) return std::nullopt;
    std::wstring value(n, L'\0');
    n = GetEnvironmentVariableW(L"COMPUTERNAME", value.data(), n);
    value.resize(n);
    // A name with an unpaired surrogate is not text we can show; widen/narrow would alter it.
    if (!value.empty() &&
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, value.data(),
                            static_cast<int>(value.size()), nullptr, 0, nullptr, nullptr) == 0)
        return std::nullopt;
    return narrow(value);
}

} // namespace

std::string ipv4_text(const Ipv4& address) {
    std::string text;
    for (size_t i = 0; i < address.size(); ++i) {
        if (i > 0) text += '.';
        text += std::to_string(address[i]);
    }
    return text;
}

std::optional<Ipv4> parse_ipv4(std::string_view text) {
    if (text.size() > max_ipv4_text) return std::nullopt;
    Ipv4 address{};
    for (size_t i = 0; i < address.size(); ++i) {
        size_t dot = text.find('.');
        bool last = i + 1 == address.size();
        if (last != (dot == std::string_view::npos)) return std::nullopt;
        std::string_view number = text.substr(0, dot);
        if (number.empty() || number.size() > max_octet_digits) return std::nullopt;
        if (number.size() > 1 && number.front() == '0') return std::nullopt;
        if (!std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        int value = 0;
        std::from_chars(number.data(), number.data() + number.size(), value);
        if (value > max_octet) return std::nullopt;
        address[i] = static_cast<std::uint8_t>(value);
        if (!last) text.remove_prefix(dot + 1);
    }
    return address;
}

std::vector<Ipv4> usable_ipv4_addresses(const IP_ADAPTER_ADDRESSES* first_adapter) {
    std::vector<Ipv4> addresses;
    for (auto* adapter = first_adapter; adapter; adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp) continue;
        if (adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
        for (auto* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            const SOCKADDR* socket_address = unicast->Address.lpSockaddr;
            if (!socket_address || socket_address->sa_family != AF_INET ||
                unicast->Address.iSockaddrLength < static_cast<INT>(sizeof(sockaddr_in)))
                continue;
            Ipv4 address = bytes_of(reinterpret_cast<const sockaddr_in*>(socket_address)->sin_addr);
            if (!usable(address)) continue;
            if (std::find(addresses.begin(), addresses.end(), address) != addresses.end()) continue;
            addresses.push_back(address);
        }
    }
    return addresses;
}

std::vector<Ipv4> local_ipv4_addresses() {
    // 8-byte elements keep the adapter records aligned as the structures need.
    ULONG size = first_buffer_size;
    std::vector<std::uint64_t> buffer;
    for (int query = 0; query < most_adapter_queries; ++query) {
        buffer.assign((size + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t), 0);
        size = static_cast<ULONG>(buffer.size() * sizeof(std::uint64_t));
        auto* adapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
        ULONG result = GetAdaptersAddresses(AF_INET, adapter_query_flags, nullptr, adapters, &size);
        if (result == NO_ERROR) return usable_ipv4_addresses(adapters);
        if (result != ERROR_BUFFER_OVERFLOW) return {};
    }
    return {};
}

std::optional<Ipv4> outgoing_ipv4_address(const Ipv4& target, std::uint16_t port) {
    WinsockSession winsock;
    if (!winsock.started()) return std::nullopt;
    UniqueSocket probe(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!probe) return std::nullopt;
    sockaddr_in any{.sin_family = AF_INET, .sin_port = 0, .sin_addr = in_addr_of({0, 0, 0, 0})};
    if (bind(probe.get(), reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0)
        return std::nullopt;
    sockaddr_in remote{
        .sin_family = AF_INET, .sin_port = htons(port), .sin_addr = in_addr_of(target)};
    if (connect(probe.get(), reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0)
        return std::nullopt;
    sockaddr_storage own{};
    int own_size = sizeof own;
    if (getsockname(probe.get(), reinterpret_cast<sockaddr*>(&own), &own_size) != 0)
        return std::nullopt;
    if (own.ss_family != AF_INET) return std::nullopt;
    Ipv4 address = bytes_of(reinterpret_cast<const sockaddr_in*>(&own)->sin_addr);
    if (address == Ipv4{0, 0, 0, 0}) return std::nullopt;
    return address;
}

std::string fallback_register_address(const std::vector<Ipv4>& local_addresses,
                                      const std::optional<std::string>& computer_name) {
    if (!local_addresses.empty()) return ipv4_text(local_addresses.front());
    // The registers can still find the machine by name when it has no usable address.
    if (computer_name && !computer_name->empty()) return *computer_name;
    return std::string(loopback_text);
}

std::string register_address(std::string_view bind) {
    if (bind != any_ipv4_address) return std::string(bind);
    if (auto primary = outgoing_ipv4_address(public_resolver, dns_port)) return ipv4_text(*primary);
    return fallback_register_address(local_ipv4_addresses(), computer_name());
}
