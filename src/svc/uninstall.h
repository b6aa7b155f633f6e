#pragma once
// Removes what install registered with Windows; data, configuration and logs stay.
#include "base/result.h"
#include "svc/control.h"

#include <string>

// Stops the server within the limits of a stop; a server that does not stop is ended (tray.log
// says so), so that a removal finishes. Fails only when the service stays; a firewall rule or a
// task that could not be removed is a warning ("Firewall rule: <reason>", one a line), empty when
// everything went.
Result<std::string> uninstall(const ServiceTimeouts& timeouts = {});
