#include "setup/server_ip_choices.h"

#include "i18n/tr.h"

#include <algorithm>

namespace {
constexpr std::string_view label_gap = "  ";
} // namespace

std::vector<ServerIpChoice> server_ip_choices(std::string_view bind,
                                              const std::vector<Ipv4>& local_addresses) {
    std::vector<ServerIpChoice> choices;
    const std::string any(any_ipv4_address);
    choices.push_back({any, any + std::string(label_gap) +
                                std::string(tr("(all network cards)", "（所有网卡）"))});
    for (const Ipv4& address : local_addresses) {
        const std::string text = ipv4_text(address);
        choices.push_back({text, text});
    }
    const bool listed = std::ranges::any_of(
        choices, [&](const ServerIpChoice& choice) { return choice.value == bind; });
    if (!listed) {
        const std::string stored(bind);
        choices.push_back(
            {stored, stored + std::string(label_gap) +
                         std::string(tr("(not found on this computer)", "（本机没有这个地址）"))});
    }
    return choices;
}

std::string chosen_bind(const std::vector<std::string>& values, long long index) {
    const auto position = static_cast<std::size_t>(std::max(index, 0LL));
    if (position >= values.size()) return std::string(any_ipv4_address);
    return values[position];
}
