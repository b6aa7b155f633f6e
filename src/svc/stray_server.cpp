#include "svc/stray_server.h"

#include "base/handles.h"
#include "base/text.h"
#include "instance/paths.h"
#include "svc/service.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cwctype>
#include <string>

namespace {

constexpr DWORD longest_image_path = 32768;
constexpr DWORD exit_wait_ms = 10000;
constexpr USHORT most_command_line = 32766; // a UNICODE_STRING's longest, in bytes

std::wstring lower(std::wstring text) {
    std::ranges::transform(text, text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

std::wstring image_path(HANDLE process) {
    std::wstring path(longest_image_path, L'\0');
    DWORD size = longest_image_path;
    if (!QueryFullProcessImageNameW(process, 0, path.data(), &size)) return {};
    path.resize(size);
    return path;
}

// Read from the process's own parameters, as the system keeps them for it: asked of ntdll by name,
// since the call has no import library entry in every toolchain.
std::wstring command_line(HANDLE process) {
    using Query = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto query =
        ntdll ? reinterpret_cast<Query>(GetProcAddress(ntdll, "NtQueryInformationProcess"))
              : nullptr;
    PROCESS_BASIC_INFORMATION basic{};
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) < 0)
        return {};
    PEB peb{};
    RTL_USER_PROCESS_PARAMETERS parameters{};
    if (!ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) ||
        !ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, nullptr))
        return {};
    const USHORT bytes = std::min<USHORT>(parameters.CommandLine.Length, most_command_line);
    std::wstring line(bytes / sizeof(wchar_t), L'\0');
    if (!ReadProcessMemory(process, parameters.CommandLine.Buffer, line.data(), bytes, nullptr))
        return {};
    return line;
}

bool is_stray(HANDLE process) {
    if (lower(image_path(process)) != lower(widen(mysql_program_path("mysqld.exe")))) return false;
    const std::wstring line = lower(command_line(process));
    return line.find(lower(widen(my_ini_path()))) != std::wstring::npos ||
           line.find(lower(widen(data_dir()))) != std::wstring::npos;
}

} // namespace

bool is_stray_server(unsigned long pid) {
    if (pid == 0) return false;
    UniqueHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    return process && is_stray(process.get());
}

Result<void> end_stray_server(unsigned long pid) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ |
                                         PROCESS_TERMINATE | SYNCHRONIZE,
                                     FALSE, pid));
    // Checked through the handle that ends it: a process id freed meanwhile names another program.
    if (!process || !is_stray(process.get()))
        return fail("process " + std::to_string(pid) + " is no longer MySQL of this installation");
    if (!TerminateProcess(process.get(), 1)) return fail(win32_error_text("TerminateProcess"));
    if (WaitForSingleObject(process.get(), exit_wait_ms) != WAIT_OBJECT_0)
        return fail("process " + std::to_string(pid) + " did not end");
    return {};
}
