// KeltaMySQL.exe with Windows naming the process that listens on the server's port, as Windows
// does and Wine never does (it reports process 0): the listeners on the port of my.ini belong to
// the mysqld.exe that runs, so that a stray server of the installation can be found and ended.
#include "app/modes.h"
#include "base/cmdline.h"
#include "base/elevation.h"
#include "svc/myini.h"

#include <windows.h>

#include <iphlpapi.h>
#include <tlhelp32.h>

#include <cstdint>

namespace {

using TableCall = decltype(&GetExtendedTcpTable);

// The port as the table keeps it, in network order in its low two bytes.
std::uint16_t host_order(DWORD port) {
    return static_cast<std::uint16_t>(((port & 0xFF) << 8) | ((port >> 8) & 0xFF));
}

DWORD running_mysqld() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{.dwSize = sizeof entry};
    DWORD found = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
         more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, L"mysqld.exe") == 0) found = entry.th32ProcessID;
    CloseHandle(snapshot);
    return found;
}

} // namespace

// Ours, linked before the system's import library: the program's calls come here, and this asks
// the system's own by name.
DWORD WINAPI GetExtendedTcpTable(PVOID table, PDWORD size, WINBOOL order, ULONG family,
                                 TCP_TABLE_CLASS kind, ULONG reserved) {
    static const auto real = reinterpret_cast<TableCall>(
        GetProcAddress(LoadLibraryW(L"iphlpapi.dll"), "GetExtendedTcpTable"));
    const DWORD result = real(table, size, order, family, kind, reserved);
    if (result != NO_ERROR || kind != TCP_TABLE_OWNER_PID_LISTENER) return result;
    auto* rows = static_cast<MIB_TCPTABLE_OWNER_PID*>(table);
    for (DWORD i = 0; i < rows->dwNumEntries; ++i)
        if (host_order(rows->table[i].dwLocalPort) == configured_port())
            rows->table[i].dwOwningPid = running_mysqld();
    return result;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return run_command_line(split_arguments(GetCommandLineW()), real_elevation());
}
