#include "base/elevation.h"

#include "base/handles.h"
#include "base/system_paths.h"
#include "base/text.h"

#include <windows.h>
#include <shellapi.h>

namespace {

// Empty when it cannot be read (or changed length between the two calls).
std::string current_folder() {
    std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
    const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
    folder.resize(length < folder.size() ? length : 0);
    return narrow(folder);
}

std::string relaunch_failure_text(DWORD error) {
    if (error == ERROR_CANCELLED) return "administrator permission was not granted";
    return system_error_text(error);
}

} // namespace

ShellStart shell_start(const std::wstring& file, const std::wstring& parameters,
                       const std::wstring& folder) {
    SHELLEXECUTEINFOW info{
        .cbSize = sizeof info,
        // Without FLAG_NO_UI the shell adds its own error box to ours when the start fails.
        .fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI,
        .hwnd = nullptr,
        .lpVerb = is_elevated() ? L"open" : L"runas",
        .lpFile = file.c_str(),
        .lpParameters = parameters.c_str(),
        .lpDirectory = folder.empty() ? nullptr : folder.c_str(),
        .nShow = SW_SHOWNORMAL,
    };
    if (!ShellExecuteExW(&info)) return {nullptr, GetLastError()};
    return {info.hProcess, ERROR_SUCCESS};
}

bool is_elevated() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size))
        return false;
    return elevation.TokenIsElevated != 0;
}

Result<unsigned long> run_elevated(const std::string& parameters, bool wait) {
    auto exe = executable_path();
    if (!exe) return fail(exe.error());
    // An elevated start begins in the system folder, not in ours; the caller has made the file
    // names absolute already, and the child works in our folder only where the shell lets it.
    return run_elevated_program(*exe, parameters, wait, current_folder());
}

Result<unsigned long> run_elevated_program(const std::string& program,
                                           const std::string& parameters, bool wait,
                                           const std::string& folder, ShellStarter start) {
    const std::wstring file = widen(program);
    const std::wstring params = widen(parameters);
    ShellStart started = start(file, params, widen(folder));
    // The elevated process may be refused a folder the caller can use (a drive mapped only for
    // the caller, a folder of the caller's own): the work is still better done than refused.
    if (!started.process && started.error != ERROR_CANCELLED && !folder.empty())
        started = start(file, params, std::wstring());
    if (!started.process) {
        if (started.error == ERROR_SUCCESS) return fail("the shell started no process");
        return fail(relaunch_failure_text(started.error));
    }
    UniqueHandle process(started.process);
    if (!wait) return 0ul;
    // A child whose end or exit code cannot be read has not succeeded as far as anyone knows.
    if (WaitForSingleObject(process.get(), INFINITE) == WAIT_FAILED)
        return fail("WaitForSingleObject: " + last_error_text());
    DWORD code = 0;
    if (!GetExitCodeProcess(process.get(), &code))
        return fail("GetExitCodeProcess: " + last_error_text());
    return code;
}

ElevationHooks real_elevation() { return {is_elevated, run_elevated}; }
