#pragma once
// The machine's own IPv4 addresses: which ones a server may listen on, and which one the other
// registers should be told to connect to.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct _IP_ADAPTER_ADDRESSES_LH;

// Four bytes in network order, the first number first.
using Ipv4 = std::array<std::uint8_t, 4>;

// "All network cards" as a listening address.
inline constexpr std::string_view any_ipv4_address = "0.0.0.0";

// Dotted decimal without leading zeros.
std::string ipv4_text(const Ipv4& address);
// Strict dotted decimal: four numbers of one to three digits, each at most 255, no leading
// zero except the single digit 0, no blanks, at most 15 characters.
std::optional<Ipv4> parse_ipv4(std::string_view text);

// IPv4 addresses of the network cards that are up, without loopback, link-local (169.254.x.x)
// and duplicates, in the system's order. Empty when the system query fails.
std::vector<Ipv4> local_ipv4_addresses();
// The filtering over an adapter chain as GetAdaptersAddresses returns it.
std::vector<Ipv4> usable_ipv4_addresses(const _IP_ADAPTER_ADDRESSES_LH* first_adapter);

// What the registers connect to: the listening address itself, or for 0.0.0.0 the machine's
// primary IPv4 address, else its first local address, else its name, else 127.0.0.1.
std::string register_address(std::string_view bind);
// The local address the system would send from towards `target`, found with a datagram socket
// that is connected but never sends; nothing when there is no route or no IPv4 address.
std::optional<Ipv4> outgoing_ipv4_address(const Ipv4& target, std::uint16_t port);
// The fallbacks of register_address once the outgoing address is unknown.
std::string fallback_register_address(const std::vector<Ipv4>& local_addresses,
                                      const std::optional<std::string>& computer_name);
