#pragma once
// Keeps tray.log and error.log below their size limits with five numbered copies.
#include "base/result.h"

#include <cstdint>
#include <optional>

Result<void> rotate_logs(std::optional<std::uint64_t> limit);
