#include "svc/control.h"

#include "svc/myini.h"
#include "svc/paths.h"
#include "svc/rotate.h"
#include "svc/service.h"
#include "svc/status.h"

#include <windows.h>

#include <thread>

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
    if (query->state != SERVICE_RUNNING) {
        // Starting is the moment the server lets go of its error log anyway.
        (void)rotate_logs(std::nullopt);
        if (!StartServiceW((*service)->get(), 0, nullptr) &&
            GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
            return fail(win32_error_text("StartService"));
        if (auto running = wait_for_state(SERVICE_RUNNING, timeouts.start); !running) return running;
    }
    // Running is not enough: the server may still be recovering, or fail to listen.
    const auto start = steady_clock::now();
    while (duration_cast<seconds>(steady_clock::now() - start) < timeouts.port) {
        if (port_accepts()) return {};
        std::this_thread::sleep_for(milliseconds(500));
    }
    return fail("MySQL is running but port " + std::to_string(configured_port()) +
                " does not accept connections; see " + error_log_path());
}

Result<void> restart_service(const ServiceTimeouts& timeouts) {
    if (auto stopped = stop_service(timeouts); !stopped) return stopped;
    return start_service(timeouts);
}
