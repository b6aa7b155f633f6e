#pragma once
// The rollback of a package's failed first install over a service that another copy of the
// program had registered (copied by hand and run with --install): the service goes back to it.
#include "base/result.h"

#include <string>

// `previous_server` is the mysqld.exe the service ran before, as the package read it from the
// service's registration ("#%" and the path, the quotes gone). That copy's own program, in the
// folder that holds MySQL\bin, installs again: service, my.ini, firewall rule and tasks point at
// it once more. Fails when that program is gone or its install fails.
Result<void> give_service_back(const std::string& previous_server);
