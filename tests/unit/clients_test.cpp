// The connected clients as the connection table gives them: rows to grouped computers, and the
// texts of IPv6 addresses.
#include "svc/client_names.h"
#include "svc/clients.h"

#include <gtest/gtest.h>

namespace {

IpAddress v4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return {.bytes = {a, b, c, d}};
}

IpAddress v6(std::initializer_list<std::uint16_t> groups) {
    IpAddress address{.v6 = true};
    std::size_t i = 0;
    for (std::uint16_t group : groups) {
        address.bytes[i++] = static_cast<std::uint8_t>(group >> 8);
        address.bytes[i++] = static_cast<std::uint8_t>(group);
    }
    return address;
}

TEST(Clients, RowsGroupedByComputerWithThisComputerLast) {
    const IpAddress server = v4(192, 168, 1, 20);
    const IpAddress server6 = v6({0xfe80, 0, 0, 0, 0, 0, 0, 0x20});
    const TcpConnection rows[] = {
        {server, 3307, v4(192, 168, 1, 21), true},
        {server, 3307, v4(192, 168, 1, 21), true},
        {server, 3307, v4(192, 168, 1, 5), true},
        {server6, 3307, v6({0, 0, 0, 0, 0, 0xffff, 0xc0a8, 0x0105}), true}, // 192.168.1.5 over IPv6
        {server6, 3307, v6({0xfe80, 0, 0, 0, 0, 0, 0, 1}), true},
        {v4(127, 0, 0, 1), 3307, v4(127, 0, 0, 1), true},
        {v6({0, 0, 0, 0, 0, 0, 0, 1}), 3307, v6({0, 0, 0, 0, 0, 0, 0, 1}), true},
        {v4(10, 0, 0, 7), 3307, v4(10, 0, 0, 7), true},     // from the connection's own address
        {v4(10, 0, 0, 7), 3307, v4(192, 168, 1, 20), true}, // from one of the cards
        {server, 3307, v4(192, 168, 1, 22), false},         // closing
        {server, 80, v4(192, 168, 1, 23), true},            // another port
        {v4(127, 0, 0, 1), 50123, v4(127, 0, 0, 1), true},  // the client's end of a local one
    };
    const IpAddress own[] = {server};
    const std::vector<ConnectedClient> expected{
        {.address = "192.168.1.5", .connections = 2},
        {.address = "192.168.1.21", .connections = 2},
        {.address = "fe80::1", .connections = 1},
        {.address = "10.0.0.7", .this_computer = true, .connections = 4},
    };
    EXPECT_EQ(group_clients(rows, 3307, own), expected);
    EXPECT_TRUE(group_clients(rows, 3308, own).empty());
}

TEST(Clients, Ipv6AddressesInTheirShortestForm) {
    EXPECT_EQ(address_text(v6({0, 0, 0, 0, 0, 0, 0, 1})), "::1");
    EXPECT_EQ(address_text(v6({0, 0, 0, 0, 0, 0, 0, 0})), "::");
    EXPECT_EQ(address_text(v6({1, 0, 0, 0, 0, 0, 0, 0})), "1::");
    EXPECT_EQ(address_text(v6({0x2001, 0xdb8, 0, 0, 1, 0, 0, 1})), "2001:db8::1:0:0:1");
    EXPECT_EQ(address_text(v6({0x2001, 0xdb8, 0, 1, 1, 1, 1, 1})), "2001:db8:0:1:1:1:1:1");
    EXPECT_EQ(address_text(v6({0x2001, 0xdb8, 0, 0, 0, 0xabcd, 0, 0})), "2001:db8::abcd:0:0");
    EXPECT_EQ(address_text(v4(192, 168, 1, 5)), "192.168.1.5");
}

// The system's own answer for loopback (the hosts file): looked up for a register, never for this
// computer.
TEST(Clients, NamesComeFromAReverseLookup) {
    std::vector<ConnectedClient> clients{{.address = "127.0.0.1", .connections = 1},
                                         {.address = "::1", .this_computer = true}};
    name_clients_within(clients, std::chrono::seconds(10));
    EXPECT_EQ(clients[0].name, "localhost");
    EXPECT_EQ(clients[1].name, "");
}

} // namespace
