// KeltaMySQL.exe with the owners and access lists of what a test listed kept by the bench
// (bench/security): Wine reads every file back as its own user's.
#include "app/modes.h"
#include "base/cmdline.h"
#include "record.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    replace_security_calls(bench_security::recording_security_calls());
    return run_command_line(split_arguments(GetCommandLineW()), real_elevation());
}
