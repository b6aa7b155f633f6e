#include "svc/support_facts.h"

#include "base/child.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/system_paths.h"
#include "base/text.h"
#include "config/addresses.h"
#include "instance/paths.h"
#include "svc/backup_state.h"
#include "svc/firewall.h"
#include "svc/service.h"
#include "svc/status_report.h"
#include "svc/tasks.h"

#include <winsock2.h>
#include <iphlpapi.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr std::string_view crlf = "\r\n";
constexpr int table_calls = 3;

// An answer of variable size, asked for twice: once for the size, then into a buffer aligned
// for the pointers the answer holds.
using Asker = std::function<BOOL(BYTE* buffer, DWORD size, DWORD* needed)>;
Result<std::vector<std::uint64_t>> ask_sized(std::string_view call, const Asker& ask) {
    DWORD needed = 0;
    if (!ask(nullptr, 0, &needed) && GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return fail(win32_error_text(call));
    std::vector<std::uint64_t> buffer(needed / sizeof(std::uint64_t) + 1);
    const auto size = static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t));
    if (!ask(reinterpret_cast<BYTE*>(buffer.data()), size, &needed))
        return fail(win32_error_text(call));
    return buffer;
}

std::string numbered(std::string_view word, unsigned long number) {
    return std::string(word) + " (" + std::to_string(number) + ")";
}

std::string_view start_type_word(DWORD type) {
    switch (type) {
    case SERVICE_AUTO_START:
        return "automatic";
    case SERVICE_DEMAND_START:
        return "manual";
    case SERVICE_DISABLED:
        return "disabled";
    default:
        return "driver";
    }
}

std::string_view state_word(DWORD state) {
    switch (state) {
    case SERVICE_STOPPED:
        return "stopped";
    case SERVICE_START_PENDING:
        return "starting";
    case SERVICE_STOP_PENDING:
        return "stopping";
    case SERVICE_RUNNING:
        return "running";
    default:
        return "paused or pausing";
    }
}

std::string failure_actions_text(SC_HANDLE service) {
    auto answer = ask_sized("QueryServiceConfig2", [&](BYTE* buffer, DWORD size, DWORD* needed) {
        return QueryServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, buffer, size, needed);
    });
    if (!answer) return answer.error();
    const auto* actions = reinterpret_cast<const SERVICE_FAILURE_ACTIONSW*>(answer->data());
    std::string text = "reset after " + std::to_string(actions->dwResetPeriod) + " s";
    for (DWORD i = 0; i < actions->cActions; ++i) {
        const SC_ACTION& action = actions->lpsaActions[i];
        static constexpr std::string_view words[] = {"none", "restart", "reboot", "run command"};
        const std::string_view word = action.Type < std::size(words) ? words[action.Type] : "?";
        text += "; " + std::string(word) + " after " + std::to_string(action.Delay) + " ms";
    }
    return text;
}

StatusReport service_fields() {
    auto service = open_service(SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS);
    if (!service) return {{"service", service.error()}};
    if (!*service) return {{"service", std::string(service_name) + " is not installed"}};
    const SC_HANDLE handle = (*service)->get();
    StatusReport fields{{"service", std::string(service_name)}};
    auto config = ask_sized("QueryServiceConfig", [&](BYTE* buffer, DWORD size, DWORD* needed) {
        return QueryServiceConfigW(handle, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer), size,
                                   needed);
    });
    if (config) {
        const auto* c = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(config->data());
        auto text = [](const wchar_t* value) { return value ? narrow(value) : std::string(); };
        fields.push_back({"display_name", text(c->lpDisplayName)});
        fields.push_back({"binary_path", text(c->lpBinaryPathName)});
        fields.push_back({"start_type", numbered(start_type_word(c->dwStartType), c->dwStartType)});
        fields.push_back({"account", text(c->lpServiceStartName)});
        fields.push_back({"error_control", std::uint64_t{c->dwErrorControl}});
    } else {
        fields.push_back({"configuration", config.error()});
    }
    fields.push_back({"failure_actions", failure_actions_text(handle)});
    SERVICE_STATUS_PROCESS state{};
    DWORD needed = 0;
    if (QueryServiceStatusEx(handle, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&state),
                             sizeof state, &needed)) {
        fields.push_back(
            {"state", numbered(state_word(state.dwCurrentState), state.dwCurrentState)});
        fields.push_back({"process_id", std::uint64_t{state.dwProcessId}});
        fields.push_back({"exit_code", std::uint64_t{state.dwWin32ExitCode}});
        fields.push_back({"service_exit_code", std::uint64_t{state.dwServiceSpecificExitCode}});
    } else {
        fields.push_back({"state", win32_error_text("QueryServiceStatusEx")});
    }
    return fields;
}

// Windows tools write in the console's code page (OEM) when their output is not a console.
std::string tool_output_text(std::string_view bytes) {
    if (is_valid_utf8(bytes)) return std::string(bytes);
    const int units =
        MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(units, 0)), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(),
                        units);
    return narrow(wide);
}

// "> tool arguments", what the tool wrote, and how it ended.
std::string tool_report(std::string_view tool, const std::vector<std::string>& arguments) {
    std::string text = "> " + std::string(tool);
    for (const std::string& argument : arguments)
        text += " " + argument;
    text += crlf;
    ChildProcess child{.program = system_tool_path(tool), .arguments = arguments};
    auto ran = run_captured(child, {}, true, tool_time_limit);
    if (!ran) return text + ran.error() + std::string(crlf);
    text += tool_output_text(ran->output) + tool_output_text(ran->error);
    return text + "(" + exit_code_text(ran->exit_code) + ")" + std::string(crlf) +
           std::string(crlf);
}

std::string endpoint(DWORD address, DWORD port) {
    Ipv4 bytes{};
    std::memcpy(bytes.data(), &address, bytes.size());
    return ipv4_text(bytes) + ":" + std::to_string(ntohs(static_cast<u_short>(port)));
}

} // namespace

std::string service_configuration_text() {
    return report_text(service_fields());
}

std::string firewall_rule_text() {
    return tool_report("netsh", {"advfirewall", "firewall", "show", "rule",
                                 "name=" + std::string(firewall_rule_name), "verbose"});
}

std::string scheduled_tasks_text() {
    std::string text;
    for (std::string_view task : {rotation_task_name, backup_task_name})
        text += tool_report("schtasks", {"/Query", "/TN", std::string(task), "/V", "/FO", "LIST"});
    return text;
}

std::string port_connections_text(std::uint16_t port) {
    std::vector<std::uint64_t> buffer(1);
    DWORD result = ERROR_INSUFFICIENT_BUFFER;
    for (int call = 0; call < table_calls && result == ERROR_INSUFFICIENT_BUFFER; ++call) {
        auto size = static_cast<ULONG>(buffer.size() * sizeof(std::uint64_t));
        result =
            GetExtendedTcpTable(buffer.data(), &size, FALSE, AF_INET, TCP_TABLE_OWNER_PID_ALL, 0);
        if (result == ERROR_INSUFFICIENT_BUFFER) buffer.resize(size / sizeof(std::uint64_t) + 1);
    }
    if (result != NO_ERROR)
        return win32_error_text("GetExtendedTcpTable", result) + std::string(crlf);
    const auto* table = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buffer.data());
    std::string text;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_TCPROW_OWNER_PID& row = table->table[i];
        if (ntohs(static_cast<u_short>(row.dwLocalPort)) != port) continue;
        if (row.dwState == MIB_TCP_STATE_LISTEN)
            text += "listening    " + endpoint(row.dwLocalAddr, row.dwLocalPort);
        else if (row.dwState == MIB_TCP_STATE_ESTAB)
            text += "established  " + endpoint(row.dwLocalAddr, row.dwLocalPort) + " <- " +
                    endpoint(row.dwRemoteAddr, row.dwRemotePort);
        else
            continue;
        text += "  pid " + std::to_string(row.dwOwningPid) + std::string(crlf);
    }
    if (text.empty())
        return "No listener and no connection on port " + std::to_string(port) + "." +
               std::string(crlf);
    return text;
}

std::string folder_listing_text(const std::string& folder) {
    std::string text = "Folder " + folder + std::string(crlf);
    WIN32_FIND_DATAW entry{};
    UniqueFind search(FindFirstFileExW(widen(join_path(folder, "*")).c_str(), FindExInfoBasic,
                                       &entry, FindExSearchNameMatch, nullptr, 0));
    if (!search) return text + "  " + last_error_text() + std::string(crlf);
    std::vector<std::string> lines;
    do {
        if (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        SYSTEMTIME utc{}, local{};
        FileTimeToSystemTime(&entry.ftLastWriteTime, &utc);
        SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
        const std::uint64_t size = (std::uint64_t{entry.nFileSizeHigh} << 32) | entry.nFileSizeLow;
        lines.push_back(narrow(entry.cFileName) + "  " + std::to_string(size) + " bytes  " +
                        local_time_text(local));
    } while (FindNextFileW(search.get(), &entry));
    std::ranges::sort(lines);
    if (lines.empty()) return text + "  (no files)" + std::string(crlf);
    for (const std::string& line : lines)
        text += "  " + line + std::string(crlf);
    return text;
}
