#pragma once
// Starting, stopping and restarting the managed server's Windows service.
#include "app/result.h"

Result<void> stop_service();
// A successful start means the service runs and its port accepts connections.
Result<void> start_service();
Result<void> restart_service();
