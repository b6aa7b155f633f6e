#include "svc/dump_progress.h"

#include "base/files.h"
#include "svc/backup_failures.h"

#include <algorithm>
#include <optional>

namespace {

constexpr std::chrono::milliseconds look_every{1000};

} // namespace

ChildWatch dump_stall_watch(const std::string& file) {
    using clock = std::chrono::steady_clock;
    const std::chrono::milliseconds limit = dump_stall_limit;
    auto stalled = [file, limit, size = std::optional<std::uint64_t>(),
                    changed = clock::now()]() mutable {
        const std::optional<std::uint64_t> now_size = file_size(file);
        if (now_size != size) {
            size = now_size;
            changed = clock::now();
        }
        return clock::now() - changed >= limit;
    };
    return {.every = std::min(look_every, limit),
            .stalled = std::move(stalled),
            .reason = failure_text(stalled_text, {})};
}
