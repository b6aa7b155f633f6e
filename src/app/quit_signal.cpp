#include "app/quit_signal.h"

#include "base/processes.h"
#include "base/text.h"

#include <sddl.h>

#include <chrono>
#include <thread>

namespace {

constexpr wchar_t quit_signal_name[] = L"Global\\KELTA.MySqlTray.Quit";
// The local system and Administrators raise it; every signed-in user's programs may only wait.
constexpr wchar_t quit_signal_access[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100000;;;AU)";
constexpr std::chrono::seconds quit_limit{60};
constexpr std::chrono::milliseconds quit_poll{250};

UniqueHandle create_signal() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(quit_signal_access, SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return {};
    SECURITY_ATTRIBUTES security{
        .nLength = sizeof security, .lpSecurityDescriptor = descriptor, .bInheritHandle = FALSE};
    UniqueHandle signal(CreateEventW(&security, TRUE, FALSE, quit_signal_name));
    LocalFree(descriptor);
    return signal;
}

void CALLBACK on_quit_signal(void* window, BOOLEAN) {
    PostMessageW(static_cast<HWND>(window), WM_CLOSE, 0, 0);
}

std::string still_running_text(const ProcessSeen& process) {
    return "KELTA Retail MySQL still runs after " + std::to_string(quit_limit.count()) +
           " s: process " + std::to_string(process.id) + " (" + process.program + ")";
}

} // namespace

QuitWatch watch_for_quit(HWND window) {
    QuitWatch watch;
    // An ordinary user may not open an existing signal for more than waiting on it.
    watch.signal.reset(OpenEventW(SYNCHRONIZE, FALSE, quit_signal_name));
    if (!watch.signal) watch.signal = create_signal();
    if (!watch.signal) watch.signal.reset(OpenEventW(SYNCHRONIZE, FALSE, quit_signal_name));
    if (watch.signal)
        RegisterWaitForSingleObject(watch.wait.put(), watch.signal.get(), on_quit_signal, window,
                                    INFINITE, WT_EXECUTEONLYONCE);
    return watch;
}

Result<void> quit_everywhere() {
    UniqueHandle signal = create_signal();
    if (!signal || !SetEvent(signal.get())) return fail("the quit signal: " + last_error_text());
    const auto start = std::chrono::steady_clock::now();
    std::vector<ProcessSeen> running;
    for (;;) {
        running = processes_named({"KeltaMySQL.exe", "KeltaMySQL.com"});
        if (running.empty() || std::chrono::steady_clock::now() - start >= quit_limit) break;
        std::this_thread::sleep_for(quit_poll);
    }
    // Lowered again: a program started later, by an upgrade for one, must not end at once.
    ResetEvent(signal.get());
    if (!running.empty()) return fail(still_running_text(running.front()));
    return {};
}
