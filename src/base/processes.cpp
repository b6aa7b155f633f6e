#include "base/processes.h"

#include "base/handles.h"
#include "base/text.h"

#include <tlhelp32.h>

namespace {

bool same_name(const wchar_t* seen, std::string_view wanted) {
    return CompareStringOrdinal(seen, -1, widen(wanted).c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The snapshot names the file alone; the path needs a look into the process, which another
// user's process may refuse.
std::string program_of(const PROCESSENTRY32W& entry) {
    UniqueHandle process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    wchar_t path[MAX_PATH * 2];
    DWORD size = MAX_PATH * 2;
    if (process && QueryFullProcessImageNameW(process.get(), 0, path, &size))
        return narrow(std::wstring_view(path, size));
    return narrow(entry.szExeFile);
}

std::uint64_t ticks(const FILETIME& time) {
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

std::uint64_t started_at(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return ticks(created);
}

} // namespace

ProcessMark this_process() {
    return {GetCurrentProcessId(), started_at(GetCurrentProcess())};
}

bool still_running(const ProcessMark& mark) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, mark.id));
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    if (GetExitCodeProcess(process.get(), &code) && code != STILL_ACTIVE) return false;
    return started_at(process.get()) == mark.started;
}

std::vector<ProcessSeen> processes_named(const std::vector<std::string_view>& file_names) {
    std::vector<ProcessSeen> seen;
    UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return seen;
    PROCESSENTRY32W entry{.dwSize = sizeof entry};
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId()) continue;
        for (std::string_view name : file_names)
            if (same_name(entry.szExeFile, name)) {
                seen.push_back({entry.th32ProcessID, program_of(entry)});
                break;
            }
    }
    return seen;
}
