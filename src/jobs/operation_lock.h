#pragma once
// One operation at a time on this machine. The installer, the nightly rotation task, a --backup
// from a script and the Setup window's jobs are separate processes; without this, two of them
// could stop, rewrite and restart the same server at the same moment.
#include "base/handles.h"
#include "base/result.h"

#include <chrono>
#include <string_view>

// How long an operation waits for another one to finish: a minute covers a restart or a backup
// of a shop's database. Tests that hold the lock on purpose shorten it.
inline std::chrono::milliseconds operation_lock_wait{std::chrono::minutes(1)};

// A held lock is released (and its handle closed) when its owner goes.
struct HeldMutexTraits {
    using type = HANDLE;
    static HANDLE invalid() { return nullptr; }
    static void close(HANDLE mutex) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
};
using OperationLock = Owned<HeldMutexTraits>;

// Waits up to operation_lock_wait for the machine-wide lock, then fails with "Another KELTA Retail MySQL
// operation is running" (translated). A lock left by a process that ended while holding it is
// taken over, and tray.log says so under `operation` (a mode such as "--backup"). Must be held
// and released on one thread.
Result<OperationLock> take_operation_lock(std::string_view operation);
