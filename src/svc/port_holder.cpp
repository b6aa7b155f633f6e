#include "svc/port_holder.h"

#include "base/handles.h"
#include "base/text.h"
#include "svc/service.h"

#include <windows.h>

#include <vector>

namespace {

constexpr Ipv4 any_address{0, 0, 0, 0};
constexpr unsigned long system_pid = 4; // the kernel: http.sys and SMB listen in its name
constexpr DWORD longest_image_path = 32768;

// The active service that runs in the process, if any.
std::string service_of_process(unsigned long pid) {
    auto manager = open_scm(SC_MANAGER_ENUMERATE_SERVICE);
    if (!manager) return {};
    DWORD needed = 0, count = 0, resume = 0;
    EnumServicesStatusExW(manager->get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_ACTIVE,
                          nullptr, 0, &needed, &count, &resume, nullptr);
    // Room for a few services that start meanwhile.
    std::vector<std::uint64_t> buffer(needed / sizeof(std::uint64_t) + 512);
    resume = 0;
    const auto bytes = static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t));
    if (!EnumServicesStatusExW(manager->get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_ACTIVE,
                               reinterpret_cast<LPBYTE>(buffer.data()), bytes, &needed, &count,
                               &resume, nullptr) &&
        GetLastError() != ERROR_MORE_DATA)
        return {};
    const auto* services = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (services[i].ServiceStatusProcess.dwProcessId == pid)
            return narrow(services[i].lpServiceName);
    return {};
}

// The file name of the process's program, "mysqld.exe".
std::string image_of_process(unsigned long pid) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return {};
    std::wstring path(longest_image_path, L'\0');
    DWORD size = longest_image_path;
    if (!QueryFullProcessImageNameW(process.get(), 0, path.data(), &size)) return {};
    path.resize(size);
    return narrow(path.substr(path.find_last_of(L"\\/") + 1));
}

std::string process_name(unsigned long pid) {
    if (pid == 0) return {};
    if (pid == system_pid) return "System";
    if (std::string service = service_of_process(pid); !service.empty()) return service;
    return image_of_process(pid);
}

} // namespace

const Listener* colliding_listener(std::span<const Listener> listeners, Ipv4 bind,
                                   std::uint16_t port) {
    for (const Listener& listener : listeners)
        if (listener.port == port &&
            (bind == any_address || listener.address == any_address || listener.address == bind))
            return &listener;
    return nullptr;
}

std::optional<std::uint16_t> next_free_port(std::uint16_t from) {
    const auto listeners = listener_table();
    if (!listeners) return std::nullopt;
    for (std::uint32_t port = from; port <= 0xFFFF; ++port)
        if (!colliding_listener(*listeners, any_address, static_cast<std::uint16_t>(port)))
            return static_cast<std::uint16_t>(port);
    return std::nullopt;
}

std::optional<PortHolder> port_holder(const std::optional<std::string>& bind, std::uint16_t port) {
    const auto listeners = listener_table(true);
    if (!listeners) return std::nullopt;
    const std::optional<Ipv4> address = bind ? parse_ipv4(*bind) : std::nullopt;
    const Listener* holder = colliding_listener(*listeners, address.value_or(any_address), port);
    if (!holder) return std::nullopt;
    return PortHolder{holder->pid, process_name(holder->pid)};
}
