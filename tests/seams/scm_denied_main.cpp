// KeltaMySQL.exe with the Service Control Manager refusing to open the service, as Windows does
// for a process that the service's access list keeps out; Wine never refuses. The link takes the
// import of OpenServiceW that this file defines in place of the system's.
#include "app/modes.h"
#include "base/cmdline.h"
#include "base/elevation.h"

#include <windows.h>

namespace {

SC_HANDLE WINAPI refuse_service(SC_HANDLE, LPCWSTR, DWORD) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}

} // namespace

extern "C" {
decltype(&OpenServiceW) __imp_OpenServiceW = refuse_service;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return run_command_line(split_arguments(GetCommandLineW()), real_elevation());
}
