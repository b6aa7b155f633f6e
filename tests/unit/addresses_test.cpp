// Which of the machine's addresses count, and which one the registers are told.
#include "config/addresses.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <gtest/gtest.h>

#include <deque>

namespace {

// An adapter chain as GetAdaptersAddresses would hand it over, built from plain descriptions.
class FakeAdapters {
  public:
    struct Address {
        ADDRESS_FAMILY family;
        Ipv4 ipv4;
    };
    void add(IF_OPER_STATUS status, IFTYPE type, std::vector<Address> addresses) {
        auto& adapter = adapters_.emplace_back();
        adapter.OperStatus = status;
        adapter.IfType = type;
        IP_ADAPTER_UNICAST_ADDRESS* previous = nullptr;
        for (const auto& address : addresses) {
            auto& storage = sockets_.emplace_back();
            storage.ss_family = address.family;
            int length = sizeof(sockaddr_in6);
            if (address.family == AF_INET) {
                auto* in = reinterpret_cast<sockaddr_in*>(&storage);
                std::copy(address.ipv4.begin(), address.ipv4.end(),
                          reinterpret_cast<std::uint8_t*>(&in->sin_addr.s_addr));
                length = sizeof(sockaddr_in);
            }
            auto& unicast = unicasts_.emplace_back();
            unicast.Address = {reinterpret_cast<SOCKADDR*>(&storage), length};
            (previous ? previous->Next : adapter.FirstUnicastAddress) = &unicast;
            previous = &unicast;
        }
        if (adapters_.size() > 1) adapters_[adapters_.size() - 2].Next = &adapter;
    }
    const IP_ADAPTER_ADDRESSES* first() const {
        return adapters_.empty() ? nullptr : &adapters_[0];
    }

  private:
    // Deques keep the addresses of their elements while growing.
    std::deque<IP_ADAPTER_ADDRESSES> adapters_;
    std::deque<IP_ADAPTER_UNICAST_ADDRESS> unicasts_;
    std::deque<sockaddr_storage> sockets_;
};

constexpr IFTYPE ethernet = IF_TYPE_ETHERNET_CSMACD;
constexpr IFTYPE wifi = IF_TYPE_IEEE80211;

TEST(Ipv4Text, ParseAndPrint) {
    EXPECT_EQ(parse_ipv4("192.168.1.20"), (Ipv4{192, 168, 1, 20}));
    EXPECT_EQ(parse_ipv4("0.0.0.0"), (Ipv4{0, 0, 0, 0}));
    EXPECT_EQ(ipv4_text({10, 0, 200, 7}), "10.0.200.7");
    EXPECT_EQ(ipv4_text({255, 255, 255, 255}), "255.255.255.255");
    EXPECT_FALSE(parse_ipv4("192.168.1.020"));
    EXPECT_FALSE(parse_ipv4("1.1.1.256"));
    EXPECT_FALSE(parse_ipv4("1.1.1.1\t"));
    EXPECT_FALSE(parse_ipv4("\u0661.1.1.1")); // Arabic-Indic digit one
}

TEST(UsableAddresses, FiltersDownLoopbackLinkLocalAndDuplicates) {
    FakeAdapters chain;
    chain.add(IfOperStatusUp, IF_TYPE_SOFTWARE_LOOPBACK, {{AF_INET, {127, 0, 0, 1}}});
    chain.add(IfOperStatusDown, ethernet, {{AF_INET, {192, 168, 5, 5}}});
    chain.add(IfOperStatusUp, ethernet,
              {{AF_INET6, {}},
               {AF_INET, {169, 254, 3, 4}},
               {AF_INET, {192, 168, 1, 20}},
               {AF_INET, {127, 1, 2, 3}},
               {AF_INET, {10, 0, 0, 2}}});
    chain.add(IfOperStatusDormant, wifi, {{AF_INET, {172, 16, 0, 9}}});
    chain.add(
        IfOperStatusUp, wifi,
        {{AF_INET, {10, 0, 0, 2}}, {AF_INET, {169, 253, 1, 1}}, {AF_INET, {192, 168, 1, 20}}});
    EXPECT_EQ(usable_ipv4_addresses(chain.first()),
              (std::vector<Ipv4>{{192, 168, 1, 20}, {10, 0, 0, 2}, {169, 253, 1, 1}}));
}

TEST(UsableAddresses, OnlyLoopbackAndLinkLocalGiveNothing) {
    FakeAdapters chain;
    chain.add(IfOperStatusUp, IF_TYPE_SOFTWARE_LOOPBACK, {{AF_INET, {127, 0, 0, 1}}});
    chain.add(IfOperStatusUp, ethernet, {{AF_INET, {169, 254, 10, 1}}});
    EXPECT_TRUE(usable_ipv4_addresses(chain.first()).empty());
    EXPECT_TRUE(usable_ipv4_addresses(nullptr).empty());
    // With no usable address the registers are given the computer's name.
    EXPECT_EQ(fallback_register_address(usable_ipv4_addresses(chain.first()), "SHOP-PC"),
              "SHOP-PC");
}

TEST(UsableAddresses, ThisMachineThroughTheSystem) {
    // Wine lists loopback and the bench machine's Ethernet address; neither loopback nor
    // link-local may come through, and no address twice.
    auto addresses = local_ipv4_addresses();
    for (size_t i = 0; i < addresses.size(); ++i) {
        EXPECT_NE(addresses[i][0], 127);
        EXPECT_FALSE(addresses[i][0] == 169 && addresses[i][1] == 254);
        for (size_t j = i + 1; j < addresses.size(); ++j)
            EXPECT_NE(addresses[i], addresses[j]);
    }
}

TEST(RegisterAddress, ChosenAddressIsReturnedUnchecked) {
    EXPECT_EQ(register_address("203.0.113.9"), "203.0.113.9");
    EXPECT_EQ(register_address("not an address"), "not an address");
    EXPECT_EQ(register_address(""), "");
}

TEST(RegisterAddress, AllCardsGivesSomethingToConnectTo) {
    std::string address = register_address("0.0.0.0");
    EXPECT_FALSE(address.empty());
    EXPECT_NE(address, "0.0.0.0");
}

TEST(RegisterAddress, Fallbacks) {
    EXPECT_EQ(fallback_register_address({{10, 1, 2, 3}, {10, 9, 9, 9}}, "PC"), "10.1.2.3");
    EXPECT_EQ(fallback_register_address({}, "KASSE-1"), "KASSE-1");
    EXPECT_EQ(fallback_register_address({}, std::nullopt), "127.0.0.1");
    EXPECT_EQ(fallback_register_address({}, ""), "127.0.0.1");
}

TEST(OutgoingAddress, ConnectSendsNothing) {
    WSADATA data{};
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    SOCKET listener = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(listener, INVALID_SOCKET);
    sockaddr_in local{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {}};
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    int size = sizeof local;
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&local), &size), 0);

    auto outgoing = outgoing_ipv4_address({127, 0, 0, 1}, ntohs(local.sin_port));
    EXPECT_EQ(outgoing, (Ipv4{127, 0, 0, 1}));

    // Had the probe sent a datagram, the listener would have it waiting by now.
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    timeval wait{.tv_sec = 0, .tv_usec = 500000};
    EXPECT_EQ(select(0, &readable, nullptr, nullptr, &wait), 0);

    // The listener does see a datagram that is really sent, so the quiet above means something.
    SOCKET sender = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_EQ(sendto(sender, "x", 1, 0, reinterpret_cast<sockaddr*>(&local), sizeof local), 1);
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    wait = {.tv_sec = 2, .tv_usec = 0};
    EXPECT_EQ(select(0, &readable, nullptr, nullptr, &wait), 1);
    closesocket(sender);
    closesocket(listener);
    WSACleanup();
}

} // namespace
