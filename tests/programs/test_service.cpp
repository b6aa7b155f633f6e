// Plays the database service for the tray's tests: registered as KeltaMySQL57 by a test, it
// reports running, listens on the TCP port given as its first argument (0: on none), and on a
// stop request stays in "stop pending" for the milliseconds given as its second argument.
#include <winsock2.h>
#include <windows.h>

#include <cstdlib>
#include <cwchar>

namespace {

SERVICE_STATUS_HANDLE status_handle = nullptr;
HANDLE stop_requested = nullptr;
int listen_port = 0;
DWORD stop_delay_ms = 0;

void report(DWORD state, DWORD wait_hint_ms = 0) {
    static DWORD checkpoint = 0;
    SERVICE_STATUS status{
        .dwServiceType = SERVICE_WIN32_OWN_PROCESS,
        .dwCurrentState = state,
        .dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0u,
        .dwWin32ExitCode = NO_ERROR,
        .dwServiceSpecificExitCode = 0,
        .dwCheckPoint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : ++checkpoint,
        .dwWaitHint = wait_hint_ms};
    SetServiceStatus(status_handle, &status);
}

DWORD WINAPI on_control(DWORD control, DWORD, void*, void*) {
    if (control != SERVICE_CONTROL_STOP) return ERROR_CALL_NOT_IMPLEMENTED;
    report(SERVICE_STOP_PENDING, stop_delay_ms + 1000);
    SetEvent(stop_requested);
    return NO_ERROR;
}

SOCKET open_listener() {
    if (listen_port <= 0) return INVALID_SOCKET;
    WSADATA data{};
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(listen_port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 4) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

void WINAPI service_main(DWORD, wchar_t**) {
    status_handle = RegisterServiceCtrlHandlerExW(L"KeltaMySQL57", on_control, nullptr);
    if (!status_handle) return;
    stop_requested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    report(SERVICE_START_PENDING, 3000);
    SOCKET listener = open_listener();
    report(SERVICE_RUNNING);
    WaitForSingleObject(stop_requested, INFINITE);
    Sleep(stop_delay_ms);
    if (listener != INVALID_SOCKET) closesocket(listener);
    report(SERVICE_STOPPED);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1) listen_port = _wtoi(argv[1]);
    if (argc > 2) stop_delay_ms = static_cast<DWORD>(_wtoi(argv[2]));
    wchar_t name[] = L"KeltaMySQL57";
    SERVICE_TABLE_ENTRYW table[] = {{name, service_main}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
