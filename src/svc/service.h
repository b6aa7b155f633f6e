#pragma once
// The program's dialogue with the Service Control Manager about the one service it manages:
// least access for each operation, the state, waits with a limit, and error texts that name the
// failed call.
#include "base/handles.h"
#include "base/result.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::string_view service_display_name = "KELTA Retail MySQL 5.7";
inline constexpr std::string_view service_description =
    "KELTA Retail Pro shared database (MySQL 5.7)";

// "<call> (Win32 error <GetLastError()>)", read right after the failed call.
std::string win32_error_text(std::string_view call);
std::string win32_error_text(std::string_view call, unsigned long code);

// The command line the Service Control Manager starts: quoted mysqld.exe, quoted my.ini, the
// service name.
std::string service_binary_path();

Result<UniqueServiceHandle> open_scm(unsigned long access);
// A handle, or nothing when the service is not installed.
Result<std::optional<UniqueServiceHandle>> open_service(unsigned long access);

struct ServiceQuery {
    bool installed = false;
    unsigned long state = 0; // dwCurrentState; 0 when not installed
};
Result<ServiceQuery> query_service();

// Polls every 500 ms until the service is in `wanted`, failing once `limit` whole seconds
// have passed; the first query is immediate.
Result<void> wait_for_state(unsigned long wanted, std::chrono::seconds limit);
