#pragma once
// The names of the clients' computers, from reverse lookups. One lookup may take seconds (DNS,
// then NetBIOS and LLMNR on a shop's network), so they run on threads of their own and their
// answers are kept: a window names its clients from what is known, and a register keeps its name
// for as long as the window lives.
#include "svc/clients.h"

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

struct HostNames {
    std::mutex lock;
    std::map<std::string, std::string> found; // address → name; empty when none was found
};

// Looks up every address of `clients` that the cache does not hold yet, one after the other, on
// the calling thread. True when a name was found.
bool look_up_names(HostNames& names, std::span<const ConnectedClient> clients);

// Gives each client the name the cache holds for its address.
void name_clients(HostNames& names, std::vector<ConnectedClient>& clients);

// For a process that lives for one operation: the lookups on a thread of their own, waited for at
// most `limit`; a client whose name has not come by then keeps its address alone.
void name_clients_within(std::vector<ConnectedClient>& clients, std::chrono::milliseconds limit);
