#pragma once
// Removes what install registered with Windows; data, configuration and logs stay.
#include "base/result.h"
#include "svc/control.h"

// Stops the server within the limits of a stop; a server that does not stop is ended (tray.log
// says so), so that a removal finishes. Fails only when the service cannot be deleted.
Result<void> uninstall(const ServiceTimeouts& timeouts = {});
