#include "svc/status_report.h"

#include "base/console.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/text.h"
#include "config/addresses.h"
#include "config/settings.h"
#include "instance/paths.h"
#include "instance/product.h"
#include "svc/backup_settings.h"
#include "svc/backup_state.h"
#include "svc/client_names.h"
#include "svc/firewall.h"
#include "svc/firewall_state.h"
#include "svc/last_backup.h"
#include "svc/myini.h"
#include "svc/service.h"
#include "svc/start_failure.h"
#include "svc/start_type.h"
#include "svc/status.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int exit_running = 0;
constexpr int exit_query_failed = 1;
constexpr int exit_not_installed = 3;
constexpr int exit_stopped = 4;
constexpr int exit_not_accepting = 5;
constexpr std::string_view error_mark = "[ERROR]";
// Monitoring asks often: a register's name that takes longer than this is given as its address.
constexpr std::chrono::milliseconds name_wait{1000};
// A technical text, like every value of the report.
constexpr std::string_view this_computer = "this computer";

using Value = ReportField::Value;

std::optional<std::string> client_name(const ConnectedClient& client) {
    if (client.this_computer) return std::string(this_computer);
    if (client.name.empty()) return std::nullopt;
    return client.name;
}

template <class T> Value known(const std::optional<T>& value) {
    if (!value) return std::monostate{};
    return Value(*value);
}

std::string_view state_word(ServiceStatus status) {
    switch (status) {
    case ServiceStatus::NotInstalled:
        return "not_installed";
    case ServiceStatus::Stopped:
        return "stopped";
    case ServiceStatus::Starting:
        return "starting";
    case ServiceStatus::Stopping:
        return "stopping";
    case ServiceStatus::RunningNotAccepting:
    case ServiceStatus::Running:
        break;
    }
    return "running";
}

int exit_code_of(ServiceStatus status) {
    switch (status) {
    case ServiceStatus::NotInstalled:
        return exit_not_installed;
    case ServiceStatus::Stopped:
    case ServiceStatus::Stopping:
        return exit_stopped;
    case ServiceStatus::Starting:
    case ServiceStatus::RunningNotAccepting:
        return exit_not_accepting;
    case ServiceStatus::Running:
        break;
    }
    return exit_running;
}

Value start_type_word(StartType type) {
    if (type == StartType::automatic) return std::string("automatic");
    if (type == StartType::manual) return std::string("manual");
    return std::monostate{};
}

// Everything in the folder and below it; links are not followed. Nothing when it cannot be read.
std::optional<std::uint64_t> folder_size(const std::string& folder) {
    WIN32_FIND_DATAW entry{};
    UniqueFind find(FindFirstFileExW(widen(join_path(folder, "*")).c_str(), FindExInfoBasic, &entry,
                                     FindExSearchNameMatch, nullptr, 0));
    if (!find) return std::nullopt;
    std::uint64_t total = 0;
    do {
        const std::wstring_view name(entry.cFileName);
        if (name == L"." || name == L"..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            total += folder_size(join_path(folder, narrow(name))).value_or(0);
        else
            total += (std::uint64_t{entry.nFileSizeHigh} << 32) | entry.nFileSizeLow;
    } while (FindNextFileW(find.get(), &entry));
    return total;
}

// On the drive of the folder, which need not exist yet.
std::optional<std::uint64_t> free_disk_space(const std::string& folder) {
    wchar_t volume[MAX_PATH] = {};
    ULARGE_INTEGER available{};
    if (!GetVolumePathNameW(widen(folder).c_str(), volume, MAX_PATH) ||
        !GetDiskFreeSpaceExW(volume, &available, nullptr, nullptr))
        return std::nullopt;
    return available.QuadPart;
}

// The last "[ERROR]" line of error.log, as MySQL wrote it.
std::optional<std::string> last_error_line(const std::string& log) {
    auto text = read_file(log);
    if (!text) return std::nullopt;
    const std::vector<std::string_view> lines = split_lines(*text);
    for (auto line = lines.rbegin(); line != lines.rend(); ++line)
        if (line->find(error_mark) != std::string_view::npos) return lossy_utf8(trim(*line));
    return std::nullopt;
}

void append_json_text(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '"';
}

struct Gathered {
    StatusReport report;
    int exit_code = exit_running;
};

Gathered gather() {
    auto query = query_service();
    const bool installed = query && query->installed;
    const ServiceStatus status =
        installed ? status_of_state(query->state, port_accepts) : ServiceStatus::NotInstalled;
    const StartType start_type = installed ? query_start_type() : StartType::undetermined;
    const std::optional<std::string> bind = read_my_ini_value("bind-address");
    const std::uint16_t port = configured_port();
    // connection.ini is for administrators only; without their rights these stay unknown.
    const std::optional<ConnectionSettings> settings = load_settings();
    const FirewallState firewall = firewall_state(settings ? settings->port : port);
    const std::optional<LastBackup> backup = last_backup();
    // A running server started after the failure it would explain.
    const std::optional<Diagnosis> diagnosis =
        status == ServiceStatus::Running ? std::nullopt : stored_diagnosis();

    auto setting = [&](std::string ConnectionSettings::*field) -> Value {
        if (!settings) return std::monostate{};
        return (*settings).*field;
    };
    auto of_backup = [&](std::string LastBackup::*field) -> Value {
        if (!backup) return std::monostate{};
        return (*backup).*field;
    };
    auto of_diagnosis = [&](bool text) -> Value {
        if (!diagnosis) return std::monostate{};
        if (text) return diagnosis_text(*diagnosis, Lang::en);
        return std::string(diagnosis_code(diagnosis->cause));
    };
    const BackupSettings automatic = load_backup_settings();
    const std::optional<BackupRun> run = load_backup_run();
    SYSTEMTIME now{};
    GetLocalTime(&now);
    // Switched off, the automatic backup is nobody's worry.
    const std::optional<BackupWarning> late_or_failed =
        run && automatic.enabled ? backup_warning(*run, now) : std::nullopt;
    auto of_run = [&](std::string BackupRun::*field) -> Value {
        if (!run || ((*run).*field).empty()) return std::monostate{};
        return (*run).*field;
    };
    auto run_result = [&]() -> Value {
        if (!run) return std::monostate{};
        return std::string(run->error.empty() ? "ok" : "failed");
    };
    auto backup_warning_value = [&]() -> Value {
        if (!late_or_failed) return std::monostate{};
        return backup_warning_text(*late_or_failed, Lang::en);
    };
    auto firewall_port = [&]() -> Value {
        if (!firewall.port) return std::monostate{};
        return std::uint64_t{*firewall.port};
    };
    std::optional<std::vector<ConnectedClient>> clients;
    if (auto read = connected_clients()) {
        clients = std::move(*read);
        name_clients_within(*clients, name_wait);
    }
    auto client_count = [&]() -> Value {
        if (!clients) return std::monostate{};
        return std::uint64_t{clients->size()};
    };

    Gathered gathered;
    gathered.report = {
        {"version", display_version()},
        {"service_installed", installed},
        {"service_state", std::string(state_word(status))},
        {"start_type", start_type_word(start_type)},
        {"accepting_connections", status == ServiceStatus::Running},
        {"port", std::uint64_t{port}},
        {"bind_address", known(bind)},
        {"register_address", register_address(bind.value_or(std::string(any_ipv4_address)))},
        {"database", setting(&ConnectionSettings::database)},
        {"user", setting(&ConnectionSettings::user)},
        {"firewall_rule", firewall.present},
        {"firewall_port", firewall_port()},
        {"rotation_task", rotation_task_present()},
        {"data_folder", data_dir()},
        {"data_size_bytes", known(folder_size(data_dir()))},
        {"free_disk_bytes", known(free_disk_space(data_root()))},
        {"error_log", error_log_path()},
        {"error_log_bytes", known(file_size(error_log_path()))},
        {"error_log_last_error", known(last_error_line(error_log_path()))},
        {"last_backup_time", of_backup(&LastBackup::time)},
        {"last_backup_file", of_backup(&LastBackup::file)},
        {"auto_backup", automatic.enabled},
        {"auto_backup_time", automatic.time},
        {"auto_backup_folder", automatic.folder},
        {"backup_task", backup_task_present()},
        {"auto_backup_last_run", of_run(&BackupRun::time)},
        {"auto_backup_result", run_result()},
        {"auto_backup_file", of_run(&BackupRun::file)},
        {"auto_backup_error", of_run(&BackupRun::error)},
        {"auto_backup_last_good", of_run(&BackupRun::last_good_time)},
        {"auto_backup_warning", backup_warning_value()},
        {"diagnosis_code", of_diagnosis(false)},
        {"diagnosis_text", of_diagnosis(true)},
        {"connected_clients", client_count()},
        {"clients", known(clients)},
    };
    if (!query) gathered.report.push_back({"error", query.error()});
    gathered.exit_code = query ? exit_code_of(status) : exit_query_failed;
    return gathered;
}

void append_json_clients(std::string& out, const std::vector<ConnectedClient>& clients) {
    out += '[';
    for (const ConnectedClient& client : clients) {
        if (out.back() != '[') out += ',';
        out += "{\"address\":";
        append_json_text(out, client.address);
        out += ",\"name\":";
        if (auto name = client_name(client))
            append_json_text(out, *name);
        else
            out += "null";
        out += ",\"connections\":" + std::to_string(client.connections) + "}";
    }
    out += ']';
}

std::string clients_text(const std::vector<ConnectedClient>& clients) {
    if (clients.empty()) return "none";
    std::string text;
    for (const ConnectedClient& client : clients) {
        if (!text.empty()) text += ", ";
        if (auto name = client_name(client))
            text += *name + " (" + client.address + ")";
        else
            text += client.address;
        text += ": " + std::to_string(client.connections);
    }
    return text;
}

} // namespace

std::string report_json(const StatusReport& report) {
    std::string out = "{";
    for (const ReportField& field : report) {
        if (out.size() > 1) out += ',';
        append_json_text(out, field.key);
        out += ':';
        if (auto* flag = std::get_if<bool>(&field.value))
            out += *flag ? "true" : "false";
        else if (auto* number = std::get_if<std::uint64_t>(&field.value))
            out += std::to_string(*number);
        else if (auto* text = std::get_if<std::string>(&field.value))
            append_json_text(out, *text);
        else if (auto* clients = std::get_if<std::vector<ConnectedClient>>(&field.value))
            append_json_clients(out, *clients);
        else
            out += "null";
    }
    return out + "}\r\n";
}

std::string report_text(const StatusReport& report) {
    std::size_t widest = 0;
    for (const ReportField& field : report)
        widest = std::max(widest, field.key.size());
    std::string out;
    for (const ReportField& field : report) {
        out += field.key + ":" + std::string(widest - field.key.size() + 1, ' ');
        if (auto* flag = std::get_if<bool>(&field.value))
            out += *flag ? "yes" : "no";
        else if (auto* number = std::get_if<std::uint64_t>(&field.value))
            out += std::to_string(*number);
        else if (auto* text = std::get_if<std::string>(&field.value))
            out += *text;
        else if (auto* clients = std::get_if<std::vector<ConnectedClient>>(&field.value))
            out += clients_text(*clients);
        else
            out += "-";
        out += "\r\n";
    }
    return out;
}

int run_status(bool as_text) {
    const Gathered gathered = gather();
    const std::string text = as_text ? report_text(gathered.report) : report_json(gathered.report);
    if (!write_standard_output(text)) return exit_query_failed;
    return gathered.exit_code;
}
