#pragma once
// One operation at a time on this machine. The installer, the nightly tasks, a --backup from a
// script and the Setup window's jobs are separate processes; without this, two of them could
// stop, rewrite and restart the same server at the same moment.
#include "base/handles.h"
#include "base/result.h"

#include <chrono>
#include <optional>
#include <string_view>

// How long an operation waits for another one to finish: a minute covers a restart or a backup
// of a shop's database. Tests that hold the lock on purpose shorten it.
inline std::chrono::milliseconds operation_lock_wait{std::chrono::minutes(1)};

// The lock is operation.lock in the data root, open without sharing. Anybody may create a named
// kernel object first (and keep it, or shut the administrators out of it); only the
// administrators may create a file there. It says who holds it while it is held; a release
// empties it, so a file that still says so was left by a process that ended.
struct HeldLockTraits {
    using type = HANDLE;
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE file) {
        LARGE_INTEGER start{};
        if (SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) SetEndOfFile(file);
        CloseHandle(file);
    }
};
using OperationLock = Owned<HeldLockTraits>;

// Waits up to `wait` for the machine-wide lock, then fails with "Another KELTA Retail MySQL
// operation is running" (translated). A lock left by a process that ended while holding it is
// taken over, and tray.log says so under `operation` (a mode such as "--backup"). The parent
// folder and the data root are made and judged first (prepare_data_root): the lock lies there.
// Only elevated processes take it.
Result<OperationLock> take_operation_lock(std::string_view operation,
                                          std::chrono::milliseconds wait = operation_lock_wait);
// The same without waiting: nothing when another operation holds the lock.
Result<std::optional<OperationLock>> try_operation_lock(std::string_view operation);
