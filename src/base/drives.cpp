#include "base/drives.h"

#include "base/registry.h"

#include <windows.h>

namespace {

// Where Windows remembers a user's mapped drive Z: ("Network\Z", its share in "RemotePath").
constexpr std::string_view mapped_drives_key = "Network\\";
constexpr std::string_view share_value = "RemotePath";

} // namespace

std::optional<std::string> mapped_drive(std::string_view path) {
    if (path.size() < 2 || path[1] != ':') return std::nullopt;
    char letter = path[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') return std::nullopt;
    const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', L'\0'};
    const std::string drive{letter, ':'};
    if (GetDriveTypeW(root) == DRIVE_REMOTE) return drive;
    std::string remembered(mapped_drives_key);
    remembered += letter;
    if (string_value_exists(HKEY_CURRENT_USER, remembered, share_value)) return drive;
    return std::nullopt;
}
