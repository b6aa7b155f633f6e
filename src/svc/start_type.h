#pragma once
// How the service starts: with Windows or on demand, as the Service Control Manager has it.

enum class StartType { automatic, manual, undetermined };

// Undetermined when the service is not installed or its configuration cannot be read.
StartType query_start_type();
