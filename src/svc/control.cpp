#include "svc/control.h"

#include "instance/data_folder.h"
#include "instance/paths.h"
#include "svc/myini.h"
#include "svc/rotate.h"
#include "svc/service.h"
#include "svc/start_failure.h"
#include "svc/status.h"

#include <windows.h>

#include <thread>

namespace {

// Like waiting for the running state, but a service that stopped again has failed for good: no
// need to wait out the limit.
Result<void> wait_until_running(SC_HANDLE service, std::chrono::seconds limit) {
    using namespace std::chrono;
    const auto start = steady_clock::now();
    for (;;) {
        if (duration_cast<seconds>(steady_clock::now() - start) >= limit)
            return fail("timeout waiting for service state " + std::to_string(SERVICE_RUNNING) +
                        "; see " + error_log_path());
        SERVICE_STATUS status{};
        if (!QueryServiceStatus(service, &status))
            return fail(win32_error_text("QueryServiceStatus"));
        if (status.dwCurrentState == SERVICE_RUNNING) return {};
        if (status.dwCurrentState == SERVICE_STOPPED)
            return fail("the service stopped while starting (exit code " +
                        std::to_string(status.dwWin32ExitCode) + "); see " + error_log_path());
        std::this_thread::sleep_for(milliseconds(500));
    }
}

// The failure of a start, with its diagnosis first when error.log names the cause, or when
// mysqld.exe, silent there, cannot run on this computer at all.
std::string told_failure(std::optional<std::uint64_t> log_mark, const std::string& technical) {
    auto diagnosis = log_mark ? diagnose_start(*log_mark) : std::nullopt;
    if (!diagnosis && log_mark) diagnosis = program_cannot_run();
    if (!diagnosis) return technical;
    store_diagnosis(*diagnosis);
    return failure_text(*diagnosis, technical);
}

} // namespace

Result<void> stop_service(const ServiceTimeouts& timeouts) {
    auto service = open_service(SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (!service) return fail(service.error());
    if (!*service) return {};
    auto query = query_service();
    if (!query) return fail(query.error());
    if (query->installed && query->state == SERVICE_STOPPED) return {};
    SERVICE_STATUS status{};
    if (!ControlService((*service)->get(), SERVICE_CONTROL_STOP, &status) &&
        GetLastError() != ERROR_SERVICE_NOT_ACTIVE)
        return fail(win32_error_text("ControlService(stop)"));
    return wait_for_state(SERVICE_STOPPED, timeouts.stop);
}

Result<void> start_service(const ServiceTimeouts& timeouts) {
    using namespace std::chrono;
    auto service = open_service(SERVICE_START | SERVICE_QUERY_STATUS);
    if (!service) return fail(service.error());
    if (!*service) return fail("service is not installed");
    auto query = query_service();
    if (!query) return fail(query.error());
    // Only the lines of a start this call made tell why it failed.
    std::optional<std::uint64_t> log_mark;
    if (query->state != SERVICE_RUNNING) {
        // The server runs as LocalSystem from what lies in the data folder: never on a folder
        // that could not be made the administrators' own.
        if (auto secured = secure_data_root(); !secured) return secured;
        // Starting is the moment the server lets go of its error log anyway.
        (void)rotate_logs(std::nullopt);
        // Another program on the port would make the server give up after its whole start.
        if (query->state == SERVICE_STOPPED)
            if (auto free = port_is_free(); !free) return free;
        clear_diagnosis();
        log_mark = error_log_mark();
        if (!StartServiceW((*service)->get(), 0, nullptr) &&
            GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
            return fail(told_failure(log_mark, win32_error_text("StartService")));
        if (auto running = wait_until_running((*service)->get(), timeouts.start); !running)
            return fail(told_failure(log_mark, running.error()));
    }
    // Running is not enough: the server may still be recovering, or fail to listen.
    const auto start = steady_clock::now();
    while (duration_cast<seconds>(steady_clock::now() - start) < timeouts.port) {
        if (port_accepts()) {
            // Up and reachable: whatever an earlier start failed on is past.
            clear_diagnosis();
            return {};
        }
        std::this_thread::sleep_for(milliseconds(500));
    }
    return fail(
        told_failure(log_mark, "MySQL is running but port " + std::to_string(configured_port()) +
                                   " does not accept connections; see " + error_log_path()));
}

Result<void> restart_service(const ServiceTimeouts& timeouts) {
    if (auto stopped = stop_service(timeouts); !stopped) return stopped;
    return start_service(timeouts);
}
