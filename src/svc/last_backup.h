#pragma once
// The last backup the operator made, as the Backup & restore page records it ("LastBackup").
#include <optional>
#include <string>
#include <string_view>

struct LastBackup {
    std::string time; // "2026-03-01 18:45"
    std::string file;
};

// The stored "YYYY-MM-DD HH:MM|path" split at its first "|"; nothing without one.
std::optional<LastBackup> parse_last_backup(std::string_view stored);
// The current user's value, or nothing.
std::optional<LastBackup> last_backup();
