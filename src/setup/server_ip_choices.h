#pragma once
// The entries of the Connection page's Server IP list: every address the server may listen on,
// and the stored one even when this computer no longer has it.
#include "config/addresses.h"

#include <string>
#include <string_view>
#include <vector>

struct ServerIpChoice {
    std::string value; // what goes into `bind`
    std::string label; // what the list shows
};

// "0.0.0.0  (all network cards)" first, then the local addresses in their order, then `bind`
// with "(not found on this computer)" when it is none of those.
std::vector<ServerIpChoice> server_ip_choices(std::string_view bind,
                                              const std::vector<Ipv4>& local_addresses);

// The value behind a list index as CB_GETCURSEL gives it: no selection (negative) counts as the
// first entry, an index beyond the list as all network cards.
std::string chosen_bind(const std::vector<std::string>& values, long long index);
