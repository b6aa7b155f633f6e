#pragma once
// How the service starts: with Windows or on demand, as the Service Control Manager has it.
#include "base/result.h"
#include "svc/status.h"

enum class StartType { automatic, manual, undetermined };

// Undetermined when the service is not installed or its configuration cannot be read.
StartType query_start_type();

// The service's status and start type from one opening of the service: the Setup window asks
// for both every two seconds, and under Wine every opening is a round trip to another process.
struct ServiceView {
    ServiceStatus status = ServiceStatus::NotInstalled;
    StartType start_type = StartType::undetermined;
};
ServiceView query_service_view();

// Automatic (with Windows) or on demand; "service is not installed" when it is missing.
Result<void> set_service_start_type(bool automatic);
