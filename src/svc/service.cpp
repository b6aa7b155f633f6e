#include "svc/service.h"

#include "base/text.h"
#include "instance/paths.h"

#include <windows.h>

#include <thread>

std::string win32_error_text(std::string_view call, unsigned long code) {
    return std::string(call) + " (Win32 error " + std::to_string(code) + ")";
}

std::string win32_error_text(std::string_view call) { return win32_error_text(call, GetLastError()); }

std::string service_binary_path() {
    // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) about "literal" + string here.
    std::string path = "\"";
    path += mysql_program_path("mysqld.exe");
    path += "\" --defaults-file=\"";
    path += my_ini_path();
    path += "\" ";
    path += service_name;
    return path;
}

Result<UniqueServiceHandle> open_scm(unsigned long access) {
    UniqueServiceHandle manager(OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, access));
    if (!manager) return fail(win32_error_text("OpenSCManager"));
    return manager;
}

Result<std::optional<UniqueServiceHandle>> open_service(unsigned long access) {
    auto manager = open_scm(SC_MANAGER_CONNECT);
    if (!manager) return fail(manager.error());
    UniqueServiceHandle service(OpenServiceW(manager->get(), widen(service_name).c_str(), access));
    if (service) return std::optional<UniqueServiceHandle>(std::move(service));
    DWORD error = GetLastError();
    if (error == ERROR_SERVICE_DOES_NOT_EXIST) return std::optional<UniqueServiceHandle>();
    return fail(win32_error_text("OpenService", error));
}

Result<ServiceQuery> query_service() {
    auto service = open_service(SERVICE_QUERY_STATUS);
    if (!service) return fail(service.error());
    if (!*service) return ServiceQuery{};
    SERVICE_STATUS status{};
    if (!QueryServiceStatus((*service)->get(), &status))
        return fail(win32_error_text("QueryServiceStatus"));
    return ServiceQuery{.installed = true, .state = status.dwCurrentState};
}

Result<void> wait_for_state(unsigned long wanted, std::chrono::seconds limit) {
    using namespace std::chrono;
    const auto start = steady_clock::now();
    for (;;) {
        if (duration_cast<seconds>(steady_clock::now() - start) >= limit)
            return fail("timeout waiting for service state " + std::to_string(wanted) + "; see " +
                        error_log_path());
        auto query = query_service();
        if (!query) return fail(query.error());
        if (query->installed && query->state == wanted) return {};
        std::this_thread::sleep_for(milliseconds(500));
    }
}
