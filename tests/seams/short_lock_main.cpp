// KeltaMySQL.exe with its long waits cut short: the operation lock's wait to five seconds (the
// fault suite's operation that finds the lock held too long then gives up in seconds, through the
// same wait) and a dump's stall limit to three seconds.
#include "app/modes.h"
#include "base/cmdline.h"
#include "base/elevation.h"
#include "jobs/operation_lock.h"
#include "svc/dump_progress.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    operation_lock_wait = std::chrono::seconds(5);
    dump_stall_limit = std::chrono::seconds(3);
    return run_command_line(split_arguments(GetCommandLineW()), real_elevation());
}
