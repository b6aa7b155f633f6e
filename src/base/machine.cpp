#include "base/machine.h"

#include "base/registry.h"
#include "base/text.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr std::string_view windows_version_key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::size_t version_value_units = 256;

std::string version_value(std::string_view name) {
    return read_string(HKEY_LOCAL_MACHINE, windows_version_key, name, version_value_units)
        .value_or("");
}

} // namespace

std::string computer_name() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size)) return "unknown";
    return narrow(std::wstring_view(name, size));
}

std::string windows_version_text() {
    std::string text = version_value("ProductName");
    // DisplayVersion ("22H2") since Windows 10 20H2, ReleaseId ("1909") before.
    std::string release = version_value("DisplayVersion");
    if (release.empty()) release = version_value("ReleaseId");
    // Appended piece by piece: g++ 12 warns falsely (-Wstringop-overflow) about "literal" + string.
    if (!release.empty()) text.append(" ").append(release);
    text.append(" (build ").append(version_value("CurrentBuildNumber"));
    if (auto revision = read_dword(HKEY_LOCAL_MACHINE, windows_version_key, "UBR"))
        text.append(".").append(std::to_string(*revision));
    return text.append(")");
}

std::string time_zone_text() {
    DYNAMIC_TIME_ZONE_INFORMATION zone{};
    const DWORD kind = GetDynamicTimeZoneInformation(&zone);
    if (kind == TIME_ZONE_ID_INVALID) return "unknown";
    // Windows keeps minutes to add to local time for UTC: the offset is their negative.
    const long bias =
        zone.Bias + (kind == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias);
    char offset[16];
    std::snprintf(offset, sizeof offset, "UTC%c%02ld:%02ld", bias > 0 ? '-' : '+',
                  std::labs(bias) / 60, std::labs(bias) % 60);
    std::string name = narrow(zone.TimeZoneKeyName);
    if (name.empty()) name = narrow(zone.StandardName);
    return name + " (" + offset + ")";
}

std::string duration_text(std::uint64_t milliseconds) {
    const std::uint64_t seconds = milliseconds / 1000;
    const std::uint64_t days = seconds / 86400;
    char clock[16];
    std::snprintf(clock, sizeof clock, "%02u:%02u:%02u", static_cast<unsigned>(seconds / 3600 % 24),
                  static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    return std::to_string(days) + (days == 1 ? " day " : " days ") + clock;
}
