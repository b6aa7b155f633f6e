#pragma once
// Drive letters as one logged-on user has them: a network share mapped to a letter exists only
// in that user's session, never for the system account that runs the nightly tasks.
#include <optional>
#include <string>
#include <string_view>

// "Z:" when `path` starts with a drive letter that is a network share mapped by this user: one
// Windows reports as a remote drive, or one remembered under HKEY_CURRENT_USER\Network (an
// elevated process does not see the mappings of the same user's ordinary session as drives).
// Nothing for any other path.
std::optional<std::string> mapped_drive(std::string_view path);
