#include "svc/status_report.h"

#include "base/console.h"
#include "base/elevation.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/text.h"
#include "config/addresses.h"
#include "config/settings.h"
#include "instance/paths.h"
#include "instance/product.h"
#include "instance/tray_log.h"
#include "svc/backup_settings.h"
#include "svc/backup_state.h"
#include "svc/client_names.h"
#include "svc/diagnosis_action.h"
#include "svc/firewall.h"
#include "svc/firewall_state.h"
#include "svc/last_backup.h"
#include "svc/myini.h"
#include "svc/recover_journal.h"
#include "svc/restore_journal.h"
#include "svc/service.h"
#include "svc/start_failure.h"
#include "svc/start_type.h"
#include "svc/status.h"
#include "svc/tasks.h"

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

// "0x00041303": how the Task Scheduler shows a task's result.
std::string task_result_text(std::int32_t result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
    return text;
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
    out += json_escaped(text);
    out += '"';
}

struct Gathered {
    StatusReport report;
    int exit_code = exit_running;
};

Gathered gather(bool elevated) {
    auto query = query_service();
    const bool installed = query && query->installed;
    const ServiceStatus status =
        installed ? status_of_state(query->state, port_accepts) : ServiceStatus::NotInstalled;
    const StartType start_type = installed ? query_start_type() : StartType::undetermined;
    const std::optional<std::string> bind = read_my_ini_value("bind-address");
    const std::uint16_t port = configured_port();
    // connection.ini is for administrators only; without their rights these stay unknown.
    const std::optional<ConnectionSettings> settings = load_settings();
    const std::optional<FirewallState> firewall = firewall_state(settings ? settings->port : port);
    const std::optional<LastBackup> backup = last_backup();
    const std::optional<Diagnosis> diagnosis = current_diagnosis(status == ServiceStatus::Running);
    // What the Service Control Manager did not answer is unknown, not "not installed".
    auto asked = [&](Value value) -> Value {
        if (!query) return std::monostate{};
        return value;
    };

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
    auto diagnosis_time = [&]() -> Value {
        const std::string when = diagnosis ? diagnosis_local_time(*diagnosis) : std::string();
        if (when.empty()) return std::monostate{};
        return when;
    };
    // Settings that cannot be read say nothing of the switch: the next run fails and says why.
    const Result<BackupSettings> automatic = load_backup_settings();
    const bool backup_on = !automatic || automatic->enabled;
    // Only an elevated process may see SYSTEM's tasks: for any other, "no such task" tells
    // nothing.
    const Result<TaskState> asked_task = backup_task_state();
    const std::optional<TaskState> task =
        asked_task && (asked_task->present || elevated) ? std::optional(*asked_task) : std::nullopt;
    const std::optional<BackupRun> run = load_backup_run();
    SYSTEMTIME now{};
    GetLocalTime(&now);
    // Switched off, or without a server to back up, the automatic backup is nobody's worry.
    const std::optional<BackupWarning> backup_trouble =
        backup_on && installed
            ? backup_warning(run.value_or(BackupRun{}),
                             task ? std::optional(task->present) : std::nullopt, now)
            : std::nullopt;
    auto of_automatic = [&](auto field) -> Value {
        if (!automatic) return std::monostate{};
        return Value(field(*automatic));
    };
    auto of_run = [&](std::string BackupRun::*field) -> Value {
        if (!run || ((*run).*field).empty()) return std::monostate{};
        return (*run).*field;
    };
    auto run_result = [&]() -> Value {
        if (!run || run->time.empty()) return std::monostate{};
        return std::string(run->error.empty() ? "ok" : "failed");
    };
    auto backup_warning_value = [&]() -> Value {
        if (!backup_trouble) return std::monostate{};
        return backup_warning_text(*backup_trouble, Lang::en);
    };
    auto of_task = [&](auto field) -> Value {
        if (!task || !task->present) return std::monostate{};
        return field(*task);
    };
    // A restore cut off half-way: the data is partly restored until the safety dump goes back in.
    const std::optional<InterruptedRestore> interrupted = interrupted_restore();
    auto of_interrupted = [&](std::string InterruptedRestore::*field) -> Value {
        if (!interrupted) return std::monostate{};
        return (*interrupted).*field;
    };
    // A rebuild cut off: MySQL may run on a new, empty database until it is finished.
    const std::optional<InterruptedRecovery> rebuild = interrupted_recovery();
    auto of_rebuild = [&](std::string InterruptedRecovery::*field) -> Value {
        if (!rebuild) return std::monostate{};
        return (*rebuild).*field;
    };
    auto fix = [&]() -> Value {
        const std::string_view code = diagnosis_action_code(current_action(diagnosis));
        if (code.empty()) return std::monostate{};
        return std::string(code);
    };
    auto my_ini_override = [&]() -> Value {
        std::string joined;
        for (const MyIniOverride& found : read_my_ini_overrides())
            joined += (joined.empty() ? "" : "; ") + my_ini_override_text(found, Lang::en);
        if (joined.empty()) return std::monostate{};
        return joined;
    };
    auto firewall_rule = [&]() -> Value {
        if (!firewall) return std::monostate{};
        return firewall->present;
    };
    auto firewall_port = [&]() -> Value {
        if (!firewall || !firewall->port) return std::monostate{};
        return std::uint64_t{*firewall->port};
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
        {"service_installed", asked(installed)},
        {"service_state", asked(std::string(state_word(status)))},
        {"start_type", start_type_word(start_type)},
        {"accepting_connections", asked(status == ServiceStatus::Running)},
        {"port", std::uint64_t{port}},
        {"bind_address", known(bind)},
        {"my_ini_override", my_ini_override()},
        {"register_address", register_address(bind.value_or(std::string(any_ipv4_address)))},
        {"database", setting(&ConnectionSettings::database)},
        {"user", setting(&ConnectionSettings::user)},
        {"firewall_rule", firewall_rule()},
        {"firewall_port", firewall_port()},
        {"rotation_task", known(scheduled_task_state(rotation_task_name, elevated))},
        {"data_folder", data_dir()},
        {"data_size_bytes", known(folder_size(data_dir()))},
        {"free_disk_bytes", known(free_disk_space(data_root()))},
        {"error_log", error_log_path()},
        {"error_log_bytes", known(file_size(error_log_path()))},
        {"error_log_last_error", known(last_error_line(error_log_path()))},
        {"last_backup_time", of_backup(&LastBackup::time)},
        {"last_backup_file", of_backup(&LastBackup::file)},
        {"auto_backup", of_automatic([](const BackupSettings& b) { return b.enabled; })},
        {"auto_backup_time", of_automatic([](const BackupSettings& b) { return b.time; })},
        {"auto_backup_folder", of_automatic([](const BackupSettings& b) { return b.folder; })},
        {"backup_task", task ? Value(task->present) : Value()},
        {"backup_task_next_run", of_task([](const TaskState& t) -> Value {
             if (t.next_run.empty()) return std::monostate{};
             return t.next_run;
         })},
        {"backup_task_result", of_task([](const TaskState& t) -> Value {
             if (!t.last_result) return std::monostate{};
             return task_result_text(*t.last_result);
         })},
        {"auto_backup_last_run", of_run(&BackupRun::time)},
        {"auto_backup_result", run_result()},
        {"auto_backup_file", of_run(&BackupRun::file)},
        {"auto_backup_error", of_run(&BackupRun::error)},
        {"auto_backup_last_good", of_run(&BackupRun::last_good_time)},
        {"auto_backup_on_since", of_run(&BackupRun::switched_on)},
        {"auto_backup_warning", backup_warning_value()},
        {"diagnosis_code", of_diagnosis(false)},
        {"diagnosis_text", of_diagnosis(true)},
        {"diagnosis_time", diagnosis_time()},
        {"fix", fix()},
        {"restore_interrupted", of_interrupted(&InterruptedRestore::started)},
        {"restore_safety_dump", of_interrupted(&InterruptedRestore::safety_dump)},
        {"rebuild_interrupted", of_rebuild(&InterruptedRecovery::started)},
        {"rebuild_dump", of_rebuild(&InterruptedRecovery::dump)},
        {"rebuild_damaged_data", of_rebuild(&InterruptedRecovery::damaged)},
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

StatusReport status_report() {
    return gather(is_elevated()).report;
}

int run_status(const StatusRequest& request) {
    const Gathered gathered = gather(request.elevated);
    const std::string text =
        request.as_text ? report_text(gathered.report) : report_json(gathered.report);
    // A caller without standard output, or one that went away, still gets the state's code.
    if (!request.out_file) {
        if (!write_standard_output(text))
            append_tray_log("--status: the report could not be written to standard output",
                            request.elevated);
    } else if (request.out_file->empty()) {
        append_tray_log("--status: missing --out <file>", request.elevated);
    } else if (auto written = replace_own_file_contents(*request.out_file, text); !written) {
        append_tray_log("--status: " + written.error(), request.elevated);
    }
    return gathered.exit_code;
}
