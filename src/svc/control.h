#pragma once
// Starting, stopping and restarting the managed server's Windows service.
#include "base/result.h"

#include <chrono>

// How long each wait may take; tests shorten them.
struct ServiceTimeouts {
    std::chrono::seconds stop{180};
    std::chrono::seconds start{120};
    std::chrono::seconds port{60};
};

Result<void> stop_service(const ServiceTimeouts& timeouts = {});
// A successful start means the service runs and its port accepts connections.
Result<void> start_service(const ServiceTimeouts& timeouts = {});
Result<void> restart_service(const ServiceTimeouts& timeouts = {});
