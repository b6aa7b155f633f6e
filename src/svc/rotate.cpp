#include "svc/rotate.h"

#include "base/files.h"
#include "base/text.h"
#include "config/settings.h"
#include "instance/data_folder.h"
#include "instance/paths.h"
#include "svc/client.h"
#include "svc/service.h"
#include "svc/start_failure.h"

#include <windows.h>

#include <functional>

namespace {

constexpr std::uint64_t tray_log_limit = 1048576;
constexpr std::uint64_t error_log_limit = 10485760;
constexpr int kept_copies = 5;

std::string copy_path(const std::string& path, int n) { return path + "." + std::to_string(n); }

// Where the log waits between leaving its own name and becoming copy 1.
std::string pending_path(const std::string& path) {
    return path + ".rotating";
}

// Makes room for a new copy 1: 5 is deleted, 4..1 move up by one. Failures are ignored; at
// worst the new copy cannot take its place this time and waits under its pending name.
void shift_copies(const std::string& path) {
    delete_file(copy_path(path, kept_copies));
    for (int n = kept_copies - 1; n >= 1; --n)
        if (path_exists(copy_path(path, n))) move_file(copy_path(path, n), copy_path(path, n + 1));
}

// The log under its pending name becomes copy 1. It is left there when copy 1 cannot be freed,
// and the next rotation places it first.
void place_pending(const std::string& path) {
    if (!path_exists(pending_path(path))) return;
    shift_copies(path);
    move_file(pending_path(path), copy_path(path, 1));
}

// The numbered copies move only once the log has left its name for good (and a running server
// has let go of it), so a rotation that cannot finish leaves every copy where it was: otherwise
// each failed run, nightly and at every start, would cost one more copy.
Result<void> rotate(const std::string& path, std::uint64_t limit,
                    const std::function<Result<void>()>& reopen) {
    if (file_size(path).value_or(0) <= limit) return {};
    place_pending(path);
    if (!MoveFileExW(widen(path).c_str(), widen(pending_path(path)).c_str(), 0))
        return fail("rename " + path + ": " + last_error_text());
    if (reopen) {
        if (auto reopened = reopen(); !reopened) {
            move_file(pending_path(path), path);
            return reopened;
        }
    }
    place_pending(path);
    return {};
}

} // namespace

Result<void> rotate_logs(std::optional<std::uint64_t> limit) {
    if (auto secured = secure_data_root(); !secured) return secured;
    // The activity log's rotation never fails the operation.
    (void)rotate(activity_log_path(), limit.value_or(tray_log_limit), {});

    const std::string error_log = error_log_path();
    const std::uint64_t error_limit = limit.value_or(error_log_limit);
    if (file_size(error_log).value_or(0) <= error_limit) return {};

    auto query = query_service();
    if (!query || !query->installed || query->state == SERVICE_STOPPED) {
        // Nobody holds the file open.
        (void)rotate(error_log, error_limit, {});
        return {};
    }

    // A running server has left whatever start failed before behind; its "ready for
    // connections", which tells that, is about to leave error.log.
    if (query->state == SERVICE_RUNNING) clear_diagnosis();
    // The running server keeps its log open: rename it, then make the server reopen the name.
    auto settings = load_settings();
    if (!settings) return fail("connection.ini not found");
    return rotate(error_log, error_limit,
                  [&] { return run_sql_as_root(settings->root_password, "FLUSH ERROR LOGS;"); });
}
