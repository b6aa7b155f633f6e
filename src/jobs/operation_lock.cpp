#include "jobs/operation_lock.h"

#include "base/files.h"
#include "base/local_time.h"
#include "base/security.h"
#include "base/text.h"
#include "i18n/tr.h"
#include "instance/data_folder.h"
#include "instance/paths.h"
#include "instance/tray_log.h"
#include "jobs/activity_log.h"

#include <thread>

namespace {

constexpr std::chrono::milliseconds poll_period{100};

struct Opened {
    UniqueFile file;
    DWORD error = ERROR_SUCCESS;
};

// Made with the administrators' descriptor, or opened when it is there; shared with nobody, so
// that the open itself is the lock.
Opened open_lock(const std::string& path, PSECURITY_DESCRIPTOR descriptor) {
    SECURITY_ATTRIBUTES security{
        .nLength = sizeof security, .lpSecurityDescriptor = descriptor, .bInheritHandle = FALSE};
    UniqueFile file(CreateFileW(widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, &security,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                nullptr));
    const DWORD error = file ? ERROR_SUCCESS : GetLastError();
    return {std::move(file), error};
}

// A lock file that somebody else made (a data root with an older version's rights let them),
// even one they hold open, goes aside before the lock is taken: judged through a handle that
// needs nobody to share anything, renamed through one that needs them to share deleting.
Result<void> set_aside_if_planted(const std::string& path) {
    UniqueFile file = open_itself(path, READ_CONTROL | FILE_READ_ATTRIBUTES);
    if (!file) return {};
    auto trusted = check_trusted_file(file.get(), path);
    if (trusted) return {};
    const std::string aside = path + ".untrusted-" + local_timestamp();
    UniqueFile deletable(ReOpenFile(file.get(), DELETE | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    FILE_FLAG_OPEN_REPARSE_POINT));
    if (!deletable || !rename_open_file(deletable.get(), aside, false))
        return fail(trusted.error() + "; it cannot be set aside: " + last_error_text());
    append_tray_log(
        path + " set aside as " + aside + ": " + trusted.error().substr(path.size() + 2), true);
    return {};
}

} // namespace

Result<std::optional<OperationLock>> try_operation_lock(std::string_view operation) {
    if (auto prepared = prepare_data_root(); !prepared) return fail(prepared.error());
    auto descriptor = parse_descriptor(private_file_descriptor);
    if (!descriptor) return fail("operation lock: " + descriptor.error());
    const std::string path = operation_lock_path();
    if (auto planted = set_aside_if_planted(path); !planted)
        return fail("operation lock: " + planted.error());
    Opened opened = open_lock(path, descriptor->get());
    if (!opened.file) {
        if (opened.error == ERROR_SHARING_VIOLATION) return std::nullopt;
        return fail("operation lock: " + path + ": " + system_error_text(opened.error));
    }
    auto held_by = read_open_file(opened.file.get());
    if (held_by && !held_by->empty())
        log_mode_note(operation, "took over the operation lock of a process that ended without "
                                 "releasing it; its operation may not have finished");
    const std::string holder =
        std::string(operation) + " " + std::to_string(GetCurrentProcessId()) + "\r\n";
    LARGE_INTEGER origin{};
    DWORD written = 0;
    if (!SetFilePointerEx(opened.file.get(), origin, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(opened.file.get()) ||
        !WriteFile(opened.file.get(), holder.data(), static_cast<DWORD>(holder.size()), &written,
                   nullptr))
        return fail("operation lock: " + path + ": " + last_error_text());
    return OperationLock(opened.file.release());
}

Result<OperationLock> take_operation_lock(std::string_view operation,
                                          std::chrono::milliseconds wait) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        auto lock = try_operation_lock(operation);
        if (!lock) return fail(lock.error());
        if (*lock) return std::move(**lock);
        if (std::chrono::steady_clock::now() - start >= wait)
            return fail(std::string(tr("Another KELTA Retail MySQL operation is running",
                                       "另一个 KELTA Retail MySQL 操作正在进行")));
        std::this_thread::sleep_for(poll_period);
    }
}
