#pragma once
// What a file's or folder's access list lets in, read with the real security calls, so that tests
// see the rights Windows enforces rather than what a tool says it set.
#include <optional>
#include <string>
#include <vector>

namespace support {

// The security identifiers ("S-1-5-18", ...) that the access list grants anything to; nothing when
// the list cannot be read.
std::optional<std::vector<std::string>> granted_sids(const std::string& path);

// Whether those identifiers include Everyone, the Users group or any signed-in user.
bool open_to_everyone(const std::vector<std::string>& sids);

} // namespace support
