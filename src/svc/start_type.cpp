#include "svc/start_type.h"

#include "svc/service.h"

#include <cstdint>
#include <vector>

namespace {
// The largest configuration the Service Control Manager returns: one call is enough, and the
// Setup window asks every two seconds.
constexpr DWORD most_config_bytes = 8192;

StartType start_type_of(SC_HANDLE handle) {
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

} // namespace

StartType query_start_type() {
    auto service = open_service(SERVICE_QUERY_CONFIG);
    if (!service || !*service) return StartType::undetermined;
    return start_type_of((*service)->get());
}

ServiceView query_service_view() {
    auto service = open_service(SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
    // Refused both rights at once: each is asked on its own, as service_status and
    // query_start_type would.
    if (!service) return {service_status(), query_start_type()};
    if (!*service) return {};
    SERVICE_STATUS state{};
    // As in service_status: a service that cannot be queried counts as not installed.
    if (!QueryServiceStatus((*service)->get(), &state)) return {};
    return {status_of_state(state.dwCurrentState, port_accepts), start_type_of((*service)->get())};
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
