#pragma once
// Apply: make changed connection settings take effect on an installed server, then save them.
#include "base/result.h"
#include "config/settings.h"
#include "svc/service.h"

// How apply asks for the service; tests give a query that fails.
using ServiceQueryFunction = Result<ServiceQuery> (*)();

Result<void> apply(const ConnectionSettings& settings, ServiceQueryFunction query = query_service);
