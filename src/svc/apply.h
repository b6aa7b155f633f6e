#pragma once
// Apply: make changed connection settings take effect on an installed server, then save them.
#include "base/result.h"
#include "config/settings.h"
#include "svc/service.h"

#include <cstdint>
#include <optional>

// How apply asks for the service; tests give a query that fails.
using ServiceQueryFunction = Result<ServiceQuery> (*)();

Result<void> apply(const ConnectionSettings& settings, ServiceQueryFunction query = query_service);

// Whether apply restarts an installed server for these settings: they are the first ever saved,
// their port or listening address differs from the stored ones, or the [mysqld] group of my.ini
// (`mysqld_port`) has another port.
bool apply_restarts(const std::optional<ConnectionSettings>& previous,
                    const ConnectionSettings& wanted, std::uint16_t mysqld_port);
