#include "svc/uninstall.h"

#include "base/handles.h"
#include "instance/tray_log.h"
#include "svc/firewall.h"
#include "svc/service.h"
#include "svc/tasks.h"

#include <windows.h>

namespace {

// How long an ended server process may take to go: ending is immediate, its handles close after.
constexpr DWORD ended_process_wait_ms = 30000;

// The server's process as the Service Control Manager knows it; 0 when none runs.
Result<DWORD> server_process_id() {
    auto service = open_service(SERVICE_QUERY_STATUS);
    if (!service) return fail(service.error());
    if (!*service) return DWORD{0};
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx((*service)->get(), SC_STATUS_PROCESS_INFO,
                              reinterpret_cast<BYTE*>(&status), sizeof status, &needed))
        return fail(win32_error_text("QueryServiceStatusEx"));
    return status.dwCurrentState == SERVICE_STOPPED ? DWORD{0} : status.dwProcessId;
}

// A server that would not stop (a stop request it cannot take while starting, a shutdown that
// hangs) is ended, as Windows ends services that outlast their shutdown: a removal that cannot
// finish would leave every later removal and upgrade stuck as well.
Result<void> end_server(const std::string& why) {
    auto id = server_process_id();
    if (!id) return fail(why + "\n" + id.error());
    if (*id == 0) return {};
    UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, *id));
    if (!process || !TerminateProcess(process.get(), ERROR_PROCESS_ABORTED))
        return fail(why + "\n" + win32_error_text("TerminateProcess"));
    WaitForSingleObject(process.get(), ended_process_wait_ms);
    append_tray_log("--uninstall ended the MySQL server (process " + std::to_string(*id) +
                        "), which did not stop: " + why,
                    true);
    return {};
}

} // namespace

Result<std::string> uninstall(const ServiceTimeouts& timeouts) {
    if (auto stopped = stop_service(timeouts); !stopped)
        if (auto ended = end_server(stopped.error()); !ended) return fail(ended.error());
    {
        // Windows removes a service marked for deletion when its last handle closes: ours goes
        // here, before the slower clean-up below.
        auto service = open_service(DELETE);
        if (!service) return fail(service.error());
        if (*service && !DeleteService((*service)->get()) &&
            GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
            return fail(win32_error_text("DeleteService"));
    }
    // Also when there was no service: a partial install may have left the rule or the task.
    // The service is gone whatever remains of them, so they are told, not failed on.
    std::string warnings;
    for (auto [what, removed] : {std::pair{"Firewall rule: ", remove_firewall_rule()},
                                 {"Log rotation task: ", remove_rotation_task()},
                                 {"Backup task: ", remove_backup_task()}})
        if (!removed) {
            if (!warnings.empty()) warnings += '\n';
            warnings.append(what).append(removed.error());
        }
    return warnings;
}
