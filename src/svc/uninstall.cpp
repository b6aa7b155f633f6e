#include "svc/uninstall.h"

#include "svc/control.h"
#include "svc/firewall.h"
#include "svc/service.h"

#include <windows.h>

Result<std::string> uninstall() {
    if (auto stopped = stop_service(); !stopped) return fail(stopped.error());
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
