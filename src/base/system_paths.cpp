#include "base/system_paths.h"

#include "base/files.h"
#include "base/text.h"

#include <windows.h>

Result<std::string> executable_path() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return fail(last_error_text());
        if (n < buffer.size()) return narrow(std::wstring_view(buffer.data(), n));
        buffer.resize(buffer.size() * 2);
    }
}

std::string system_tool_path(std::string_view name) {
    wchar_t folder[MAX_PATH] = {};
    UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    std::string system = (n > 0 && n < MAX_PATH) ? narrow(folder) : "C:\\Windows\\System32";
    return join_path(system, std::string(name) + ".exe");
}

std::string windows_program_path(std::string_view file_name) {
    wchar_t folder[MAX_PATH] = {};
    UINT n = GetWindowsDirectoryW(folder, MAX_PATH);
    std::string windows = (n > 0 && n < MAX_PATH) ? narrow(folder) : "C:\\Windows";
    return join_path(windows, std::string(file_name));
}
