#include "svc/tasks.h"

#include "base/child.h"
#include "base/files.h"
#include "base/security.h"
#include "base/text.h"
#include "instance/data_folder.h"
#include "instance/paths.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr std::chrono::minutes rotation_time_limit{30};
constexpr std::chrono::hours backup_time_limit{4};
constexpr std::int64_t ticks_per_day = 864'000'000'000;
constexpr unsigned long schtasks_not_found = 1; // also for a task it may not read
// schtasks /Query /V /FO CSV: "HostName","TaskName","Next Run Time","Status","Logon Mode",
// "Last Run Time","Last Result",... in this order whatever the language.
constexpr std::size_t next_run_field = 2;
constexpr std::size_t last_result_field = 6;
// Administrators and SYSTEM own the task; every signed-in user may read it, so that the tray of
// an ordinary user can tell whether it is there.
constexpr std::string_view task_security = "D:(A;;FA;;;BA)(A;;FA;;;SY)(A;;FR;;;AU)";

std::string xml_escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// "PT4H", "PT30M"
std::string duration_text(std::chrono::minutes length) {
    const auto minutes = length.count();
    if (minutes % 60 == 0) return "PT" + std::to_string(minutes / 60) + "H";
    return "PT" + std::to_string(minutes) + "M";
}

// "YYYY-MM-DDTHH:MM:00", the next time of day `time` after `now`, both local.
std::string first_start(std::string_view time, const SYSTEMTIME& now) {
    const int hours = (time[0] - '0') * 10 + (time[1] - '0');
    const int minutes = (time[3] - '0') * 10 + (time[4] - '0');
    SYSTEMTIME day = now;
    if (hours * 60 + minutes <= now.wHour * 60 + now.wMinute) {
        FILETIME ticks{};
        SystemTimeToFileTime(&now, &ticks);
        ULARGE_INTEGER later{.LowPart = ticks.dwLowDateTime, .HighPart = ticks.dwHighDateTime};
        later.QuadPart += ticks_per_day;
        ticks = {.dwLowDateTime = later.LowPart, .dwHighDateTime = later.HighPart};
        FileTimeToSystemTime(&ticks, &day);
    }
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02d:%02d:00", day.wYear, day.wMonth, day.wDay,
                  hours, minutes);
    return text;
}

// The XML file for schtasks, in UTF-16 as it wants it, made afresh where only administrators
// write: a file an ordinary user could change between its writing and schtasks reading it would
// choose the program that runs as SYSTEM.
Result<std::string> write_definition(std::string_view name, const std::string& xml) {
    if (auto made = make_data_root(); !made) return fail(made.error());
    const std::string path = join_path(data_root(), std::string(name) + ".xml");
    auto file = create_fresh_file(path, private_file_descriptor, GENERIC_WRITE);
    if (!file) return fail(path + ": " + file.error());
    std::wstring units = L"\uFEFF" + widen(xml);
    const DWORD bytes = static_cast<DWORD>(units.size() * sizeof(wchar_t));
    DWORD written = 0;
    if (!WriteFile(file->get(), units.data(), bytes, &written, nullptr) || written != bytes) {
        std::string reason = path + ": " + last_error_text();
        file->reset();
        delete_file(path);
        return fail(reason);
    }
    return path;
}

Result<void> schtasks(std::vector<std::string> arguments) {
    return run_hidden(system_tool_path("schtasks"), arguments);
}

Result<void> register_daily_task(const DailyTask& task) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    auto definition = write_definition(task.name, task_definition(task, now));
    if (!definition) return fail(definition.error());
    auto created = schtasks(
        {"/Create", "/TN", std::string(task.name), "/XML", *definition, "/RU", "SYSTEM", "/F"});
    delete_file(*definition);
    return created;
}

std::optional<bool> task_present(std::string_view name) {
    return tool_found(
        run_hidden_to_exit(system_tool_path("schtasks"), {"/Query", "/TN", std::string(name)}));
}

// Deleting fails also when there is nothing to delete: only a task still there is a failure.
Result<void> remove_task(std::string_view name) {
    auto deleted = schtasks({"/Delete", "/TN", std::string(name), "/F"});
    if (deleted || task_present(name) == false) return {};
    return fail("schtasks: " + deleted.error());
}

// One CSV record: fields in double quotes, a quote inside doubled.
std::vector<std::string> csv_fields(std::string_view line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::optional<std::int32_t> parse_i32(std::string_view text) {
    const bool negative = text.starts_with('-');
    if (negative) text.remove_prefix(1);
    const auto value = parse_u64(text);
    if (!value || *value > 0x80000000ull || (!negative && *value > 0xFFFFFFFFull))
        return std::nullopt;
    return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(*value)
                                              : static_cast<std::int64_t>(*value));
}

// schtasks writes in the console's code page, the OEM one of the system.
std::string from_console_code_page(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int length = static_cast<int>(bytes.size());
    std::wstring units(static_cast<std::size_t>(length), L'\0');
    const int got = MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), length, units.data(), length);
    units.resize(static_cast<std::size_t>(std::max(got, 0)));
    return narrow(units);
}

} // namespace

std::string task_definition(const DailyTask& task, const SYSTEMTIME& now) {
    std::string xml;
    auto line = [&](std::string_view text) { xml.append(text).append("\r\n"); };
    line("<?xml version=\"1.0\" encoding=\"UTF-16\"?>");
    line("<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">");
    line("  <RegistrationInfo>");
    line("    <SecurityDescriptor>" + std::string(task_security) + "</SecurityDescriptor>");
    line("  </RegistrationInfo>");
    line("  <Triggers>");
    line("    <CalendarTrigger>");
    line("      <StartBoundary>" + first_start(task.time, now) + "</StartBoundary>");
    line("      <Enabled>true</Enabled>");
    line("      <ScheduleByDay><DaysInterval>1</DaysInterval></ScheduleByDay>");
    line("    </CalendarTrigger>");
    line("  </Triggers>");
    line("  <Principals>");
    line("    <Principal id=\"Author\">");
    line("      <UserId>S-1-5-18</UserId>");
    line("      <RunLevel>HighestAvailable</RunLevel>");
    line("    </Principal>");
    line("  </Principals>");
    line("  <Settings>");
    line("    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>");
    line("    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>");
    line("    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>");
    line("    <StartWhenAvailable>true</StartWhenAvailable>");
    line("    <RunOnlyIfNetworkAvailable>false</RunOnlyIfNetworkAvailable>");
    line("    <IdleSettings>");
    line("      <StopOnIdleEnd>false</StopOnIdleEnd>");
    line("      <RestartOnIdle>false</RestartOnIdle>");
    line("    </IdleSettings>");
    line("    <RunOnlyIfIdle>false</RunOnlyIfIdle>");
    line("    <AllowStartOnDemand>true</AllowStartOnDemand>");
    line("    <Enabled>true</Enabled>");
    line("    <ExecutionTimeLimit>" + duration_text(task.time_limit) + "</ExecutionTimeLimit>");
    line("  </Settings>");
    line("  <Actions Context=\"Author\">");
    line("    <Exec>");
    line("      <Command>\"" + xml_escaped(task.program) + "\"</Command>");
    line("      <Arguments>" + xml_escaped(task.arguments) + "</Arguments>");
    line("    </Exec>");
    line("  </Actions>");
    line("</Task>");
    return xml;
}

Result<void> register_rotation_task() {
    return register_daily_task({.name = rotation_task_name,
                                .program = executable_path().value_or(""),
                                .arguments = "--rotate-logs --quiet",
                                .time = "03:00",
                                .time_limit = rotation_time_limit});
}

std::optional<bool> scheduled_task_state(std::string_view name, bool elevated) {
    const std::optional<bool> present = task_present(name);
    if (present == false && !elevated) return std::nullopt;
    return present;
}

bool rotation_task_present() {
    return task_present(rotation_task_name) == true;
}

Result<void> remove_rotation_task() {
    return remove_task(rotation_task_name);
}

Result<void> register_backup_task(std::string_view time) {
    return register_daily_task({.name = backup_task_name,
                                .program = executable_path().value_or(""),
                                .arguments = "--backup-auto --quiet",
                                .time = time,
                                .time_limit = backup_time_limit});
}

Result<void> remove_backup_task() {
    return remove_task(backup_task_name);
}

std::optional<TaskState> parse_task_query(std::string_view output) {
    for (std::string_view line : split_lines(output)) {
        if (trim(line).empty()) continue;
        const std::vector<std::string> fields = csv_fields(trim(line));
        if (fields.size() <= last_result_field) return std::nullopt;
        return TaskState{.present = true,
                         .next_run = fields[next_run_field],
                         .last_result = parse_i32(fields[last_result_field])};
    }
    return std::nullopt;
}

Result<TaskState> backup_task_state() {
    const ChildProcess query{
        .program = system_tool_path("schtasks"),
        .arguments = {"/Query", "/TN", std::string(backup_task_name), "/FO", "CSV", "/NH", "/V"}};
    auto outcome = run_captured(query, {}, true, tool_time_limit);
    if (!outcome) return fail(outcome.error());
    if (outcome->exit_code == schtasks_not_found) return TaskState{};
    if (outcome->exit_code != 0) return fail("schtasks: " + exit_code_text(outcome->exit_code));
    auto state = parse_task_query(from_console_code_page(outcome->output));
    if (!state) return fail("schtasks: no task in its answer");
    return *state;
}
