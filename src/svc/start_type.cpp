#include "svc/start_type.h"

#include "svc/service.h"

#include <cstdint>
#include <vector>

StartType query_start_type() {
    auto service = open_service(SERVICE_QUERY_CONFIG);
    if (!service || !*service) return StartType::undetermined;
    SC_HANDLE handle = (*service)->get();
    DWORD needed = 0;
    QueryServiceConfigW(handle, nullptr, 0, &needed);
    if (needed == 0) return StartType::undetermined;
    // QUERY_SERVICE_CONFIGW holds pointers: the buffer must be aligned for them.
    std::vector<std::uint64_t> buffer(needed / sizeof(std::uint64_t) + 1);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(handle, config, needed, &needed)) return StartType::undetermined;
    return config->dwStartType == SERVICE_AUTO_START ? StartType::automatic : StartType::manual;
}
