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

} // namespace

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
