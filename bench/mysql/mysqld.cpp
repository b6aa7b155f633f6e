// Bench stand-in for MySQL 5.7's mysqld.exe. The real server runs on the Linux side, started by
// the bench's host agent; this program is what Windows sees of it:
//   --defaults-file=<my.ini> --initialize-insecure --init-file=<file>   initialize a data directory
//   --defaults-file=<my.ini> <service name>          the service run (started by the SCM)
//   --defaults-file=<my.ini> --console               a server in the foreground, log on the console
//   --version                                        the version line
// Further --name[=value] options are passed on as 5.7 takes them from its command line. Test
// controls under C:\kelta-bench\control change the service run (bench/README.md).
#include "../tools/standin.h"
#include "agent_link.h"
#include "server_options.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <functional>

using namespace standin;

namespace {

constexpr DWORD start_wait_hint_ms = 30000;
constexpr DWORD stop_wait_hint_ms = 60000;
constexpr DWORD frame_poll_ms = 250;
constexpr ULONGLONG ms_per_second = 1000;
constexpr int exit_failure = 1;

struct Arguments {
    std::optional<std::wstring> defaults_file;
    bool initialize = false;
    std::optional<std::wstring> init_file;
    bool console = false;
    std::wstring service_name;
    std::vector<bench::Option> extra;
    std::string error;
};

std::optional<std::wstring> value_after(const std::wstring& arg, std::wstring_view prefix) {
    if (!arg.starts_with(prefix)) return std::nullopt;
    return arg.substr(prefix.size());
}

// 5.7 reads --defaults-file only as the first argument; anywhere else it is an unknown variable.
Arguments parse_arguments(int argc, wchar_t** argv) {
    Arguments args;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (auto defaults = value_after(arg, L"--defaults-file=")) {
            if (i == 1)
                args.defaults_file = defaults;
            else
                args.error = "unknown variable '" + utf8(arg.substr(2)) + "'";
        } else if (arg == L"--initialize-insecure") {
            args.initialize = true;
        } else if (auto init_file = value_after(arg, L"--init-file=")) {
            args.init_file = init_file;
        } else if (arg == L"--console") {
            args.console = true;
        } else if (arg.starts_with(L"--") && arg.size() > 2) {
            size_t equals = arg.find(L'=');
            args.extra.push_back({.name = utf8(arg.substr(2, equals - 2)),
                                  .value = equals == std::wstring::npos
                                               ? std::nullopt
                                               : std::optional(utf8(arg.substr(equals + 1)))});
        } else if (i == argc - 1 && !arg.starts_with(L"-")) {
            args.service_name = arg;
        } else {
            args.error = "unknown option '" + utf8(arg) + "'";
        }
    }
    // Outside an initialization --init-file is the server's ordinary option (SQL at each start).
    if (args.init_file && !args.initialize) {
        args.extra.push_back({.name = "init-file", .value = utf8(*args.init_file)});
        args.init_file.reset();
    }
    return args;
}

std::string log_timestamp() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%06uZ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds * 1000u);
    return text;
}

// Lines of our own in the server's error log, in 5.7's shape.
void append_error_log(const std::wstring& log_path, const std::string& lines) {
    std::wstring path = log_path.empty() ? root() + L"\\logs\\mysqld.err" : log_path;
    std::string text;
    size_t start = 0;
    while (start < lines.size()) {
        size_t end = lines.find('\n', start);
        if (end == std::string::npos) end = lines.size();
        std::string line = lines.substr(start, end - start);
        if (!line.empty() && !std::isdigit(static_cast<unsigned char>(line[0])))
            line = log_timestamp() + " 0 " + line;
        if (!line.empty()) text += line + "\n";
        start = end + 1;
    }
    write_all(path, text, true);
}

void to_stderr(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void say_error(const std::string& text) {
    to_stderr("mysqld: [ERROR] " + text + "\n");
}

std::optional<bench::ServerPlan> load_plan(const Arguments& args,
                                           const std::vector<std::string>& groups, bool console,
                                           std::string& error) {
    std::vector<bench::Option> options;
    if (args.defaults_file) {
        std::wstring path = *args.defaults_file;
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            error = "Could not open required defaults file: " + utf8(bench::full_path(path));
            return std::nullopt;
        }
        auto parsed =
            bench::parse_option_file(read_all(path), utf8(bench::full_path(path)), groups, error);
        if (!parsed) return std::nullopt;
        options = std::move(*parsed);
    }
    options.insert(options.end(), args.extra.begin(), args.extra.end());
    return bench::plan_server(options, bench::own_path(), console, error);
}

bench::Request serve_request(const bench::ServerPlan& plan) {
    bench::Request request("serve");
    request.options("options", plan.options);
    if (plan.pipe) request.text("pipe", *plan.pipe);
    return request;
}

// Relays the server program's messages until it ends; its exit code.
int relay_messages(bench::AgentLink& link, const std::function<void(const std::string&)>& write) {
    while (auto frame = link.receive()) {
        switch (frame->kind) {
        case 'E':
            write(frame->payload);
            break;
        case 'F':
            say_error(frame->payload);
            return exit_failure;
        case 'X':
            return std::atoi(frame->payload.c_str());
        default:
            break;
        }
    }
    say_error("lost the connection to the bench agent");
    return exit_failure;
}

const std::vector<std::string> server_groups = {"mysqld", "server", "mysqld-5.7"};

int initialize(const Arguments& args) {
    std::string error;
    auto plan = load_plan(args, server_groups, args.console, error);
    if (!plan) {
        say_error(error);
        say_error("Fatal error in defaults handling. Program aborted!");
        return exit_failure;
    }
    bench::Request request("initialize");
    request.options("options", plan->options);
    if (args.init_file) {
        auto mapped = bench::map_windows_path(utf8(bench::full_path(*args.init_file)));
        if (!mapped) {
            append_error_log(plan->error_log,
                             "[ERROR] cannot map the init file " + utf8(*args.init_file));
            return exit_failure;
        }
        request.text("init_file", *mapped);
    }
    auto link = bench::open_bench_agent(error);
    if (!link) {
        append_error_log(plan->error_log, "[ERROR] " + error);
        say_error(error);
        return exit_failure;
    }
    link->send('Q', request.json());
    // The Linux server writes some early reasons (a data directory with files in it) to standard
    // error before it opens its log; they belong in the error log all the same.
    const int code = plan->error_log.empty() ? relay_messages(*link, to_stderr)
                                             : relay_messages(*link, [&](const std::string& text) {
                                                   append_error_log(plan->error_log, text);
                                               });
    // A test that kills the program right after an initialization has finished: the data
    // directory is complete, and this program has not yet ended.
    const std::string hold = control_value(L"mysqld.hold-after-initialize");
    if (code == 0 && !hold.empty()) {
        DeleteFileW((root() + L"\\control\\mysqld.hold-after-initialize").c_str());
        record_fault("mysqld.hold-after-initialize=" + hold,
                     "the initialization finished, then mysqld.exe held still");
        Sleep(static_cast<DWORD>(std::strtoul(hold.c_str(), nullptr, 10) * ms_per_second));
    }
    return code;
}

// ---- console run ------------------------------------------------------------------------------

std::atomic<bench::AgentLink*> console_link{nullptr};

BOOL WINAPI on_console_event(DWORD) {
    if (auto* link = console_link.load()) link->send('T');
    return TRUE;
}

int run_in_foreground(const Arguments& args, const std::vector<std::string>& groups) {
    std::string error;
    auto plan = load_plan(args, groups, args.console, error);
    if (!plan) {
        say_error(error);
        say_error("Fatal error in defaults handling. Program aborted!");
        return exit_failure;
    }
    auto link = bench::open_bench_agent(error);
    if (!link) {
        say_error(error);
        return exit_failure;
    }
    link->send('Q', serve_request(*plan).json());
    console_link = link.get();
    SetConsoleCtrlHandler(on_console_event, TRUE);
    int code = relay_messages(*link, to_stderr);
    console_link = nullptr;
    return code;
}

// ---- service run -------------------------------------------------------------------------------

struct Service {
    std::wstring name;
    Arguments args;
    SERVICE_STATUS_HANDLE handle = nullptr;
    SERVICE_STATUS status{.dwServiceType = SERVICE_WIN32_OWN_PROCESS};
    std::mutex mutex;
    std::unique_ptr<bench::AgentLink> link;
    bool stop_requested = false;
};

// The dispatcher calls ServiceMain without a context.
Service* the_service = nullptr;

// Like 5.7, the service takes no control while it starts. A server that ends on an error ends
// 5.7's process without a last report, which Windows records as ERROR_PROCESS_ABORTED (1067,
// "The process terminated unexpectedly"); a clean end reports stopped without an error.
void report_locked(Service& service, DWORD state, bool failed = false) {
    SERVICE_STATUS& status = service.status;
    bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status.dwCheckPoint =
        pending && status.dwCurrentState == state ? status.dwCheckPoint + 1 : pending;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_START_PENDING || state == SERVICE_STOPPED
                                    ? 0
                                    : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    status.dwWaitHint = state == SERVICE_START_PENDING  ? start_wait_hint_ms
                        : state == SERVICE_STOP_PENDING ? stop_wait_hint_ms
                                                        : 0;
    status.dwWin32ExitCode = failed ? ERROR_PROCESS_ABORTED : NO_ERROR;
    SetServiceStatus(service.handle, &status);
}

void report(Service& service, DWORD state) {
    std::lock_guard lock(service.mutex);
    if (state == SERVICE_RUNNING && service.stop_requested) return;
    report_locked(service, state);
}

// Another checkpoint while a start or stop takes its time.
void keep_pending(Service& service) {
    std::lock_guard lock(service.mutex);
    DWORD state = service.status.dwCurrentState;
    if (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING)
        report_locked(service, state);
}

void request_stop(Service& service) {
    std::lock_guard lock(service.mutex);
    if (service.stop_requested) return;
    service.stop_requested = true;
    report_locked(service, SERVICE_STOP_PENDING);
    if (service.link) service.link->send('T');
}

DWORD WINAPI on_control(DWORD control, DWORD, LPVOID, LPVOID context) {
    auto& service = *static_cast<Service*>(context);
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        request_stop(service);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

// Runs the server until it ends; the exit code to report.
int serve(Service& service) {
    std::vector<std::string> groups = server_groups;
    groups.push_back(utf8(service.name)); // 5.7 also reads the group named after its service
    std::string error;
    auto plan = load_plan(service.args, groups, false, error);
    if (!plan) {
        append_error_log({}, "[ERROR] " + error + "\n[ERROR] Aborting");
        return exit_failure;
    }
    if (control_on(L"mysqld.fail-start")) {
        // "once": this start fails, the next one works (the control goes).
        if (control_value(L"mysqld.fail-start") == "once")
            DeleteFileW((root() + L"\\control\\mysqld.fail-start").c_str());
        append_error_log(plan->error_log, "[ERROR] Aborting (bench control mysqld.fail-start)");
        return exit_failure;
    }
    if (control_on(L"mysqld.skip-networking"))
        plan->options.emplace_back("skip-networking", std::nullopt);
    auto link = bench::open_bench_agent(error);
    if (!link) {
        append_error_log(plan->error_log, "[ERROR] " + error + "\n[ERROR] Aborting");
        return exit_failure;
    }
    bench::Request request = serve_request(*plan);
    if (control_on(L"mysqld.data-access-denied")) request.flag("unprivileged", true);
    link->send('Q', request.json());
    bench::AgentLink* agent = link.get();
    {
        std::lock_guard lock(service.mutex);
        service.link = std::move(link);
        if (service.stop_requested) agent->send('T');
    }

    ULONGLONG delay =
        std::strtoull(control_value(L"mysqld.ready-delay").c_str(), nullptr, 10) * ms_per_second;
    std::optional<ULONGLONG> running_at;
    bool running = false;
    for (;;) {
        // A test that has seen the start it wanted removes the control, which ends the wait.
        if (running_at && !running && delay && control_value(L"mysqld.ready-delay").empty())
            running_at = GetTickCount64();
        if (running_at && !running && GetTickCount64() >= *running_at) {
            report(service, SERVICE_RUNNING);
            running = true;
        }
        if (!agent->readable(frame_poll_ms)) {
            keep_pending(service);
            continue;
        }
        auto frame = agent->receive();
        if (!frame) {
            append_error_log(plan->error_log, "[ERROR] lost the connection to the bench agent");
            return exit_failure;
        }
        switch (frame->kind) {
        case 'R':
            running_at = GetTickCount64() + delay;
            break;
        case 'E':
            append_error_log(plan->error_log, frame->payload);
            break;
        case 'F':
            append_error_log(plan->error_log, "[ERROR] " + frame->payload + "\n[ERROR] Aborting");
            return exit_failure;
        case 'X':
            return std::atoi(frame->payload.c_str());
        default:
            break;
        }
    }
}

void WINAPI service_main(DWORD, LPWSTR*) {
    Service& service = *the_service;
    service.handle = RegisterServiceCtrlHandlerExW(service.name.c_str(), on_control, &service);
    if (!service.handle) return;
    report(service, SERVICE_START_PENDING);
    int code = serve(service);
    std::lock_guard lock(service.mutex);
    report_locked(service, SERVICE_STOPPED, code != 0);
}

int run_service(const Arguments& args) {
    static Service service;
    service.name = args.service_name;
    service.args = args;
    the_service = &service;
    SERVICE_TABLE_ENTRYW table[] = {{service.name.data(), service_main}, {nullptr, nullptr}};
    if (StartServiceCtrlDispatcherW(table)) return 0;
    if (GetLastError() != ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
        say_error("StartServiceCtrlDispatcher failed (" + std::to_string(GetLastError()) + ")");
        return exit_failure;
    }
    // Started from a console rather than by the Service Control Manager.
    std::vector<std::string> groups = server_groups;
    groups.push_back(utf8(args.service_name));
    return run_in_foreground(args, groups);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    ensure_folders();
    log_call(L"mysqld", argc, argv);
    // As 5.7: the version, and nothing read or started.
    for (int i = 1; i < argc; ++i)
        if (std::wstring_view(argv[i]) == L"--version") {
            std::printf("mysqld  Ver 5.7.29 for Win64 on x86_64 (bench stand-in)\n");
            return 0;
        }
    Arguments args = parse_arguments(argc, argv);
    if (!args.error.empty()) {
        say_error(args.error);
        say_error("Aborting");
        return exit_failure;
    }
    if (args.initialize) return initialize(args);
    if (!args.service_name.empty() && !args.console) return run_service(args);
    return run_in_foreground(args, server_groups);
}
