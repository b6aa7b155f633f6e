#pragma once
// The tray's texts for a service state, in the current language.
#include "svc/status.h"

#include <cstdint>
#include <string>

// "KELTA MySQL 5.7 - " and the state, for example "KELTA MySQL 5.7 - stopped".
std::string tray_status_line(ServiceStatus status);

// The status line with the port, for example "KELTA MySQL 5.7 - running (port 3307)".
std::string tray_tooltip_text(ServiceStatus status, std::uint16_t port);
