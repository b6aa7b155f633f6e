#pragma once
// The product's name as its windows and boxes show it, and its version.
#include <string>
#include <string_view>

inline constexpr char program_caption[] = "KELTA Retail MySQL";
inline constexpr std::string_view program_version = KELTA_VERSION;

// The version with every trailing ".0" component removed: "1.1.1", never "1.1.1.0".
std::string display_version(std::string_view version = program_version);
