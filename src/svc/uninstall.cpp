#include "svc/uninstall.h"

#include "svc/control.h"
#include "svc/firewall.h"
#include "svc/service.h"
#include "svc/tasks.h"

#include <windows.h>

Result<void> uninstall() {
    if (auto stopped = stop_service(); !stopped) return stopped;
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
    remove_firewall_rule();
    remove_rotation_task();
    remove_backup_task();
    return {};
}
