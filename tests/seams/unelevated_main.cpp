// KeltaMySQL.exe as a process that is not elevated would run it. The first process started
// without KELTA_TEST_ELEVATED reports itself not elevated; it sets the variable, so the copy it
// relaunches through the shell reports itself elevated. With KELTA_TEST_DECLINE set, the
// relaunch fails the way a declined elevation prompt does.
#include "app/elevation.h"
#include "app/modes.h"
#include "base/cmdline.h"

#include <windows.h>

namespace {

bool has_variable(const wchar_t* name) { return GetEnvironmentVariableW(name, nullptr, 0) > 0; }

bool seam_is_elevated() {
    static const bool elevated = has_variable(L"KELTA_TEST_ELEVATED");
    SetEnvironmentVariableW(L"KELTA_TEST_ELEVATED", L"1");
    return elevated;
}

Result<unsigned long> seam_run_elevated(const std::string& parameters, bool wait) {
    if (has_variable(L"KELTA_TEST_DECLINE"))
        return run_elevated_program("C:\\no such folder\\declined.exe", parameters, wait);
    return run_elevated(parameters, wait);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return run_command_line(split_arguments(GetCommandLineW()), {seam_is_elevated, seam_run_elevated});
}
