// KeltaMySQL.exe with the operation lock's wait cut to five seconds: the fault suite's operation
// that finds the lock held too long then gives up in seconds, through the same wait.
#include "app/modes.h"
#include "base/cmdline.h"
#include "base/elevation.h"
#include "jobs/operation_lock.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    operation_lock_wait = std::chrono::seconds(5);
    return run_command_line(split_arguments(GetCommandLineW()), real_elevation());
}
