#include "svc/last_backup.h"

#include "base/registry.h"

namespace {
constexpr std::size_t value_units = 1024;
}

std::optional<LastBackup> parse_last_backup(std::string_view stored) {
    const std::size_t bar = stored.find('|');
    if (bar == std::string_view::npos) return std::nullopt;
    return LastBackup{std::string(stored.substr(0, bar)), std::string(stored.substr(bar + 1))};
}

std::optional<LastBackup> last_backup() {
    auto stored = read_string(HKEY_CURRENT_USER, program_key, "LastBackup", value_units);
    if (!stored) return std::nullopt;
    return parse_last_backup(*stored);
}
