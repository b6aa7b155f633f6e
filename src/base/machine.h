#pragma once
// What a helpdesk first asks about the computer: its name, its Windows, its clock and how long it
// has run. Each answer is a text to show; a part Windows does not tell is left out or "unknown".
#include <cstdint>
#include <string>

// The computer's NetBIOS name, "SHOP-PC"; "unknown" when Windows does not tell.
std::string computer_name();

// "Windows 10 Pro 22H2 (build 19045.4046)", from the registry's CurrentVersion key.
std::string windows_version_text();

// "China Standard Time (UTC+08:00)": the zone's key name and the offset in force now.
std::string time_zone_text();

// "3 days 04:12:55" for a duration in milliseconds.
std::string duration_text(std::uint64_t milliseconds);
