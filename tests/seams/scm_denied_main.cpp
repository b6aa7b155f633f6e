// KeltaMySQL.exe with the Service Control Manager refusing the service, as Windows does when its
// access list keeps a process out (Wine never does): the link takes this file's OpenServiceW.
#include "app/modes.h"
#include "base/cmdline.h"
#include "base/elevation.h"

#include <windows.h>

extern "C" {
decltype(&OpenServiceW) __imp_OpenServiceW = [](SC_HANDLE, LPCWSTR, DWORD) -> SC_HANDLE {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
};
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return run_command_line(split_arguments(GetCommandLineW()), real_elevation());
}
