#include "svc/rotate.h"

#include "base/files.h"
#include "base/handles.h"
#include "base/text.h"
#include "config/settings.h"
#include "instance/data_folder.h"
#include "instance/paths.h"
#include "svc/client.h"
#include "svc/service.h"
#include "svc/start_failure.h"

#include <windows.h>

#include <vector>

namespace {

constexpr std::uint64_t tray_log_limit = 1048576;
constexpr std::uint64_t error_log_limit = 10485760;
constexpr int kept_copies = 5;

std::string copy_path(const std::string& path, int n) { return path + "." + std::to_string(n); }

// Where the log waits between leaving its own name and becoming copy 1.
std::string pending_path(const std::string& path) {
    return path + ".rotating";
}

// A copy that another program holds open without letting it be renamed (a log viewer) would stop
// the shift half-way, after copy 5 was deleted: every copy, and the log waiting to become copy 1,
// is opened as a rename opens it before anything moves.
Result<void> check_copies_movable(const std::string& path) {
    std::vector<std::string> moving{pending_path(path)};
    for (int n = 1; n <= kept_copies; ++n)
        moving.push_back(copy_path(path, n));
    for (const std::string& file : moving) {
        if (!path_exists(file)) continue;
        UniqueFile opened(CreateFileW(widen(file).c_str(), DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!opened) return fail(file + ": " + last_error_text());
    }
    return {};
}

Result<void> rename(const std::string& from, const std::string& to) {
    if (MoveFileExW(widen(from).c_str(), widen(to).c_str(), 0)) return {};
    return fail("rename " + from + ": " + last_error_text());
}

// Makes room for a new copy 1: 5 is deleted, 4..1 move up by one.
Result<void> shift_copies(const std::string& path) {
    const std::string oldest = copy_path(path, kept_copies);
    if (path_exists(oldest) && !delete_file(oldest))
        return fail("delete " + oldest + ": " + last_error_text());
    for (int n = kept_copies - 1; n >= 1; --n) {
        if (!path_exists(copy_path(path, n))) continue;
        if (auto moved = rename(copy_path(path, n), copy_path(path, n + 1)); !moved) return moved;
    }
    return {};
}

// The log under its pending name becomes copy 1. When that fails it stays there, and the next
// rotation places it first.
Result<void> place_pending(const std::string& path) {
    if (!path_exists(pending_path(path))) return {};
    if (auto shifted = shift_copies(path); !shifted) return shifted;
    return rename(pending_path(path), copy_path(path, 1));
}

} // namespace

// The numbered copies move only once the log has left its name for good (and a running server
// has let go of it), so a rotation that cannot finish leaves every copy where it was: otherwise
// each failed run, nightly and at every start, would cost one more copy.
Result<void> rotate_log(const std::string& path, std::uint64_t limit,
                        const std::function<Result<void>()>& reopen) {
    if (file_size(path).value_or(0) <= limit) return {};
    if (auto movable = check_copies_movable(path); !movable) return movable;
    if (auto placed = place_pending(path); !placed) return placed;
    if (auto moved = rename(path, pending_path(path)); !moved) return moved;
    if (reopen) {
        if (auto reopened = reopen(); !reopened) {
            // The server keeps writing into the file it has open, under whichever name.
            if (auto back = rename(pending_path(path), path); !back)
                return fail(reopened.error() + "\n" + back.error() + " (back to " + path +
                            "; it becomes " + copy_path(path, 1) + " at the next rotation)");
            return reopened;
        }
    }
    return place_pending(path);
}

Result<void> rotate_logs(std::optional<std::uint64_t> limit) {
    if (auto secured = secure_data_root(); !secured) return secured;
    // The activity log's rotation never fails the operation.
    (void)rotate_log(activity_log_path(), limit.value_or(tray_log_limit), {});

    const std::string error_log = error_log_path();
    const std::uint64_t error_limit = limit.value_or(error_log_limit);
    if (file_size(error_log).value_or(0) <= error_limit) return {};

    auto query = query_service();
    // Nobody holds the file open.
    if (!query || !query->installed || query->state == SERVICE_STOPPED)
        return rotate_log(error_log, error_limit, {});

    // A running server has left whatever start failed before behind; its "ready for
    // connections", which tells that, is about to leave error.log.
    if (query->state == SERVICE_RUNNING) clear_diagnosis();
    // The running server keeps its log open: rename it, then make the server reopen the name.
    auto settings = load_settings();
    if (!settings) return fail("connection.ini not found");
    return rotate_log(error_log, error_limit, [&] {
        return run_sql_as_root(settings->root_password, "FLUSH ERROR LOGS;");
    });
}
