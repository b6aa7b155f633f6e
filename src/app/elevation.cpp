#include "app/elevation.h"

#include "base/handles.h"
#include "base/text.h"
#include "svc/paths.h"

#include <windows.h>
#include <shellapi.h>

namespace {

// Empty when it cannot be read (or changed length between the two calls).
std::wstring current_folder() {
    std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
    const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
    folder.resize(length < folder.size() ? length : 0);
    return folder;
}

} // namespace

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
    return run_elevated_program(*exe, parameters, wait);
}

Result<unsigned long> run_elevated_program(const std::string& program,
                                           const std::string& parameters, bool wait) {
    std::wstring file = widen(program);
    std::wstring params = widen(parameters);
    // An elevated start begins in the system folder, not in ours: relative file names the
    // operator typed (--backup shop.sql) must mean the same to the child.
    const std::wstring folder = current_folder();
    SHELLEXECUTEINFOW info{
        .cbSize = sizeof info,
        // Without FLAG_NO_UI the shell adds its own error box to ours when the start fails.
        .fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI,
        .hwnd = nullptr,
        .lpVerb = is_elevated() ? L"open" : L"runas",
        .lpFile = file.c_str(),
        .lpParameters = params.c_str(),
        .lpDirectory = folder.empty() ? nullptr : folder.c_str(),
        .nShow = SW_SHOWNORMAL,
    };
    if (!ShellExecuteExW(&info) || !info.hProcess)
        return fail("administrator permission was not granted");
    UniqueHandle process(info.hProcess);
    DWORD code = 0;
    if (wait) {
        WaitForSingleObject(process.get(), INFINITE);
        if (!GetExitCodeProcess(process.get(), &code)) code = 0;
    }
    return code;
}
