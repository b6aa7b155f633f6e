#pragma once
// How the service starts: with Windows or on demand, as the Service Control Manager has it.
#include "base/result.h"

enum class StartType { automatic, manual, undetermined };

// Undetermined when the service is not installed or its configuration cannot be read.
StartType query_start_type();

// Automatic (with Windows) or on demand; "service is not installed" when it is missing.
Result<void> set_service_start_type(bool automatic);
