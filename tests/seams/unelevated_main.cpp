// KeltaMySQL.exe as a process that is not elevated would run it. The first process started
// without KELTA_TEST_ELEVATED reports itself not elevated; it sets the variable, so the copy it
// relaunches reports itself elevated. The relaunch fails as for a declined prompt with
// KELTA_TEST_DECLINE, for a refused working folder (Wine's shell takes any; the child then starts
// in the system folder, as Windows starts an elevated program) with KELTA_TEST_REFUSED_FOLDER,
// starts a missing program with KELTA_TEST_MISSING_PROGRAM, and gives a handle that may not read
// the exit code with KELTA_TEST_UNREADABLE_EXIT.
#include "app/modes.h"
#include "base/cmdline.h"
#include "base/elevation.h"
#include "instance/paths.h"

#include <windows.h>

namespace {

bool has_variable(const wchar_t* name) { return GetEnvironmentVariableW(name, nullptr, 0) > 0; }

bool seam_is_elevated() {
    static const bool elevated = has_variable(L"KELTA_TEST_ELEVATED");
    SetEnvironmentVariableW(L"KELTA_TEST_ELEVATED", L"1");
    return elevated;
}

ShellStart declined(const std::wstring&, const std::wstring&, const std::wstring&) {
    return {nullptr, ERROR_CANCELLED};
}

ShellStart refusing_folders(const std::wstring& file, const std::wstring& parameters,
                            const std::wstring& folder) {
    if (!folder.empty()) return {nullptr, ERROR_DIRECTORY};
    return shell_start(file, parameters, L"C:\\windows\\system32");
}

ShellStart unreadable_exit(const std::wstring& file, const std::wstring& parameters,
                           const std::wstring& folder) {
    ShellStart started = shell_start(file, parameters, folder);
    HANDLE waitable = nullptr;
    DuplicateHandle(GetCurrentProcess(), started.process, GetCurrentProcess(), &waitable,
                    SYNCHRONIZE, FALSE, DUPLICATE_CLOSE_SOURCE);
    return {waitable, started.error};
}

Result<unsigned long> seam_run_elevated(const std::string& parameters, bool wait) {
    const std::string self = executable_path().value_or("");
    if (has_variable(L"KELTA_TEST_DECLINE"))
        return run_elevated_program(self, parameters, wait, "", declined);
    if (has_variable(L"KELTA_TEST_UNREADABLE_EXIT"))
        return run_elevated_program(self, parameters, wait, "", unreadable_exit);
    if (has_variable(L"KELTA_TEST_REFUSED_FOLDER"))
        return run_elevated_program(self, parameters, wait, "C:\\", refusing_folders);
    if (has_variable(L"KELTA_TEST_MISSING_PROGRAM"))
        return run_elevated_program("C:\\no such folder\\missing.exe", parameters, wait, "");
    return run_elevated(parameters, wait);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return run_command_line(split_arguments(GetCommandLineW()), {seam_is_elevated, seam_run_elevated});
}
