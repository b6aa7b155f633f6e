#pragma once
// Keeps tray.log and error.log below their size limits with five numbered copies.
#include "base/result.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

Result<void> rotate_logs(std::optional<std::uint64_t> limit);

// One log above the limit becomes copy 1, the copies moving up by one; `reopen` (when given)
// makes the program that writes the log let go of it, and on its failure the log goes back.
Result<void> rotate_log(const std::string& path, std::uint64_t limit,
                        const std::function<Result<void>()>& reopen);
