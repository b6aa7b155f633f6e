// Measures the Setup window under Wine and prints the numbers; not a test, nothing is asserted.
//   setup_timing <KeltaMySQL.exe> <ProgramData folder> <runs>
// 1. Start to first paint: from CreateProcess of "--setup" until the window shows its painted
//    frame on the screen (the window background and the first card in their colours).
// 2. One 2-second refresh of the Overview, created in this process, next to the service query
//    inside it (state and start type from one opening of the service, the state alone beside
//    it), and the visible changes a refresh with nothing new makes.
#include "app/setup_program.h"
#include "base/text.h"
#include "config/addresses.h"
#include "setup/control_ids.h"
#include "setup/pages.h"
#include "setup/palette.h"
#include "setup/system_checks.h"
#include "svc/myini.h"
#include "svc/start_type.h"
#include "svc/status.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Search {
    DWORD process_id;
    HWND found = nullptr;
};

BOOL CALLBACK find_setup(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (owner == search->process_id && wcscmp(name, L"KeltaMySqlSetupWnd") == 0 &&
        IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

COLORREF screen_pixel(HWND window, int x, int y) {
    POINT p{x, y};
    ClientToScreen(window, &p);
    HDC screen = GetDC(nullptr);
    COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return c;
}

bool painted(HWND window) {
    const Palette& light = light_palette();
    return screen_pixel(window, 4, 4) == light[window_background] &&
           screen_pixel(window, 240, 80) == light[card_background];
}

// Milliseconds from the start of the process to its first painted frame, or a negative value.
double start_to_first_paint(const std::wstring& exe, const std::wstring& environment) {
    std::wstring command = L"\"" + exe + L"\" --setup";
    STARTUPINFOW startup{.cb = sizeof startup};
    PROCESS_INFORMATION info{};
    std::wstring block = environment;
    const auto start = Clock::now();
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, &startup, &info))
        return -1;
    double elapsed = -1;
    Search search{info.dwProcessId};
    while (ms_since(start) < 30000) {
        if (!search.found) EnumWindows(find_setup, reinterpret_cast<LPARAM>(&search));
        if (search.found && painted(search.found)) {
            elapsed = ms_since(start);
            break;
        }
        Sleep(2);
    }
    if (search.found) PostMessageW(search.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(info.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return elapsed;
}

std::wstring environment_with_program_data(const std::wstring& program_data) {
    std::wstring block;
    if (wchar_t* current = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = current; *entry; entry += wcslen(entry) + 1) {
            if (_wcsnicmp(entry, L"ProgramData=", 12) == 0) continue;
            block += entry;
            block += L'\0';
        }
        FreeEnvironmentStringsW(current);
    }
    block += L"ProgramData=" + program_data + L'\0';
    block += L'\0';
    return block;
}

template <class F> double time_ms(F&& call) {
    const auto start = Clock::now();
    call();
    return ms_since(start);
}

int visible_changes = 0;
LRESULT CALLBACK count_changes(int code, WPARAM wparam, LPARAM lparam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lparam);
    if (code == HC_ACTION && (sent->message == WM_SETTEXT || sent->message == WM_ENABLE ||
                              sent->message == WM_SHOWWINDOW || sent->message == WM_ERASEBKGND ||
                              sent->message == WM_PAINT))
        ++visible_changes;
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

void pump(HWND window) {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void measure_refresh(int rounds) {
    SetupUiState state;
    HWND window = open_setup_window(state);
    if (!window) {
        std::printf("refresh: the window could not be created\n");
        return;
    }
    pump(window);
    static const char* const names[] = {"NotInstalled",        "Stopped", "Starting", "Stopping",
                                        "RunningNotAccepting", "Running"};
    std::printf("service state now: %s\n", names[static_cast<int>(service_status())]);
    // Interleaved round by round, so that the load of the machine weighs on every part alike.
    double view_ms = 0, status_ms = 0, address_ms = 0, port_ms = 0, refresh_ms = 0;
    for (int i = 0; i < rounds; ++i) {
        view_ms += time_ms([] { (void)query_service_view(); });
        status_ms += time_ms([] { (void)service_status(); });
        address_ms += time_ms([&] { (void)register_address(state.saved_settings->bind); });
        port_ms += time_ms([] { (void)configured_port(); });
        refresh_ms += time_ms([&] { refresh_pages(window); });
    }
    for (double* total : {&view_ms, &status_ms, &address_ms, &port_ms, &refresh_ms})
        *total /= rounds;

    visible_changes = 0;
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, count_changes, nullptr, GetCurrentThreadId());
    refresh_pages(window);
    pump(window);
    UnhookWindowsHookEx(hook);

    std::printf("refresh_pages         %8.3f ms per call (%d calls each)\n", refresh_ms, rounds);
    std::printf("  query_service_view  %8.3f ms per call (service_status alone: %.3f ms)\n",
                view_ms, status_ms);
    std::printf("  register_address    %8.3f ms per call\n", address_ms);
    std::printf("  configured_port     %8.3f ms per call (reads my.ini)\n", port_ms);
    std::printf("  the rest            %8.3f ms (texts compared, buttons set)\n",
                refresh_ms - view_ms - address_ms - port_ms);
    std::printf("texts set, windows shown, enabled or painted by a refresh with nothing new: %d\n",
                visible_changes);
    DestroyWindow(window);
    wait_for_system_checks();
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: setup_timing <KeltaMySQL.exe> <ProgramData folder> <runs>\n");
        return 2;
    }
    const std::wstring exe = argv[1];
    const std::wstring program_data = argv[2];
    const int runs = std::max(1, _wtoi(argv[3]));
    SetEnvironmentVariableW(L"ProgramData", program_data.c_str());
    const std::wstring environment = environment_with_program_data(program_data);

    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        double t = start_to_first_paint(exe, environment);
        std::printf("--setup to first painted window, run %d: %.0f ms\n", i + 1, t);
        if (t >= 0) times.push_back(t);
    }
    if (!times.empty()) {
        std::sort(times.begin(), times.end());
        std::printf("--setup to first painted window: median %.0f ms, best %.0f ms, worst %.0f ms "
                    "(%zu runs)\n",
                    times[times.size() / 2], times.front(), times.back(), times.size());
    }
    measure_refresh(200);
    return 0;
}
