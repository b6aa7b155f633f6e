#include "svc/rotate.h"

#include "base/files.h"
#include "base/text.h"
#include "config/settings.h"
#include "svc/client.h"
#include "svc/data_folder.h"
#include "svc/paths.h"
#include "svc/service.h"

#include <windows.h>

namespace {

constexpr std::uint64_t tray_log_limit = 1048576;
constexpr std::uint64_t error_log_limit = 10485760;
constexpr int kept_copies = 5;

std::string copy_path(const std::string& path, int n) { return path + "." + std::to_string(n); }

// Makes room for a new copy 1: 5 is deleted, 4..1 move up by one. Failures are ignored; at
// worst a copy is overwritten later or the file is not rotated this time.
void shift_copies(const std::string& path) {
    delete_file(copy_path(path, kept_copies));
    for (int n = kept_copies - 1; n >= 1; --n)
        if (path_exists(copy_path(path, n))) move_file(copy_path(path, n), copy_path(path, n + 1));
}

void rotate_simple(const std::string& path, std::uint64_t limit) {
    if (file_size(path).value_or(0) <= limit) return;
    shift_copies(path);
    move_file(path, copy_path(path, 1));
}

} // namespace

Result<void> rotate_logs(std::optional<std::uint64_t> limit) {
    if (auto secured = secure_data_root(); !secured) return secured;
    rotate_simple(activity_log_path(), limit.value_or(tray_log_limit));

    const std::string error_log = error_log_path();
    const std::uint64_t error_limit = limit.value_or(error_log_limit);
    if (file_size(error_log).value_or(0) <= error_limit) return {};

    auto query = query_service();
    if (!query || !query->installed || query->state == SERVICE_STOPPED) {
        // Nobody holds the file open.
        rotate_simple(error_log, error_limit);
        return {};
    }

    // The running server keeps its log open: rename it, then make the server reopen the name.
    auto settings = load_settings();
    if (!settings) return fail("connection.ini not found");
    shift_copies(error_log);
    if (!MoveFileExW(widen(error_log).c_str(), widen(copy_path(error_log, 1)).c_str(), 0))
        return fail("rename " + error_log + ": " + last_error_text());
    if (auto flushed = run_sql_as_root(settings->root_password, "FLUSH ERROR LOGS;"); !flushed) {
        move_file(copy_path(error_log, 1), error_log);
        return flushed;
    }
    return {};
}
