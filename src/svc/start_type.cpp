#include "svc/start_type.h"

#include "svc/service.h"

#include <cstdint>
#include <vector>

namespace {
// The largest configuration the Service Control Manager returns: one call is enough, and the
// Setup window asks every two seconds.
constexpr DWORD most_config_bytes = 8192;
} // namespace

StartType query_start_type() {
    auto service = open_service(SERVICE_QUERY_CONFIG);
    if (!service || !*service) return StartType::undetermined;
    SC_HANDLE handle = (*service)->get();
    // QUERY_SERVICE_CONFIGW holds pointers: the buffer must be aligned for them.
    std::vector<std::uint64_t> buffer(most_config_bytes / sizeof(std::uint64_t));
    DWORD size = most_config_bytes;
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(handle, config, size, &needed)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0)
            return StartType::undetermined;
        buffer.resize(needed / sizeof(std::uint64_t) + 1);
        size = static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t));
        config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        if (!QueryServiceConfigW(handle, config, size, &needed)) return StartType::undetermined;
    }
    return config->dwStartType == SERVICE_AUTO_START ? StartType::automatic : StartType::manual;
}

Result<void> set_service_start_type(bool automatic) {
    auto service = open_service(SERVICE_CHANGE_CONFIG);
    if (!service) return fail(service.error());
    if (!*service) return fail("service is not installed");
    if (!ChangeServiceConfigW((*service)->get(), SERVICE_NO_CHANGE,
                              automatic ? SERVICE_AUTO_START : SERVICE_DEMAND_START,
                              SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr))
        return fail(win32_error_text("ChangeServiceConfig"));
    return {};
}
