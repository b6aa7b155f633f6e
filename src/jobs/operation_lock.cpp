#include "jobs/operation_lock.h"

#include "base/text.h"
#include "i18n/tr.h"
#include "jobs/activity_log.h"

#include <sddl.h>

namespace {

constexpr wchar_t lock_name[] = L"Global\\KELTA.MySqlService.Operation";
// SYSTEM and Administrators fully; every signed-in user may wait for the lock and release it
// (SYNCHRONIZE | MUTEX_MODIFY_STATE), so that the tray's unelevated jobs queue up with the
// elevated program, but no user may change its rights.
constexpr wchar_t lock_access_list[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100001;;;AU)";
constexpr DWORD user_rights = SYNCHRONIZE | MUTEX_MODIFY_STATE;

Result<UniqueHandle> open_lock() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(lock_access_list, SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return fail("operation lock: " + last_error_text());
    SECURITY_ATTRIBUTES security{
        .nLength = sizeof security, .lpSecurityDescriptor = descriptor, .bInheritHandle = FALSE};
    UniqueHandle mutex(CreateMutexW(&security, FALSE, lock_name));
    LocalFree(descriptor);
    // A process without administrator rights may not open an existing lock for all access;
    // what the access list grants it is enough to wait and release.
    if (!mutex) mutex.reset(OpenMutexW(user_rights, FALSE, lock_name));
    if (!mutex) return fail("operation lock: " + last_error_text());
    return mutex;
}

} // namespace

Result<OperationLock> take_operation_lock(std::string_view operation) {
    auto mutex = open_lock();
    if (!mutex) return fail(mutex.error());
    switch (WaitForSingleObject(mutex->get(), static_cast<DWORD>(operation_lock_wait.count()))) {
    case WAIT_OBJECT_0:
        return OperationLock(mutex->release());
    case WAIT_ABANDONED:
        log_mode_note(operation, "took over the operation lock of a process that ended without "
                                 "releasing it; its operation may not have finished");
        return OperationLock(mutex->release());
    case WAIT_TIMEOUT:
        return fail(std::string(tr("Another KELTA Retail MySQL operation is running",
                                   "另一个 KELTA Retail MySQL 操作正在进行")));
    default:
        return fail("operation lock: " + last_error_text());
    }
}
