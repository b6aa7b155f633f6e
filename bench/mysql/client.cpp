#include "client.h"

#include "../tools/standin.h"
#include "agent_link.h"
#include "server_options.h"

#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

using namespace standin;

namespace bench {

namespace {

constexpr int exit_unknown_option = 7; // 5.7's clients end with 7 on an option they do not know
constexpr DWORD stdin_chunk = 65536;
constexpr const char* dump_flags[] = {"single-transaction", "routines", "triggers", "events"};

struct ClientArguments {
    std::string pipe = "MySQL"; // the 5.7 clients' default pipe name
    bool pipe_protocol = false;
    bool tcp_protocol = false; // mysql.exe only: a register's login
    std::optional<std::string> host;
    std::optional<long> port;
    std::optional<long> connect_timeout;
    std::string first_tcp_option; // --host, --port or --connect-timeout as given
    std::string user = "ODBC"; // the Windows clients' default user
    std::optional<std::string> charset;
    std::vector<std::string> flags;
    std::optional<std::wstring> result_file;
    std::optional<std::string> database;
    bool binary_mode = false;    // mysql.exe: the client's own commands are not read
    bool no_local_files = false; // mysql.exe: --local-infile=0
    std::string error;
};

std::optional<std::string> value_after(const std::wstring& arg, const wchar_t* prefix) {
    std::wstring p = prefix;
    if (arg.size() < p.size() || _wcsnicmp(arg.c_str(), p.c_str(), p.size()) != 0)
        return std::nullopt;
    return utf8(arg.substr(p.size()));
}

ClientArguments parse(const ClientKind& kind, int argc, wchar_t** argv) {
    ClientArguments args;
    for (int i = 1; i < argc && args.error.empty(); ++i) {
        std::wstring arg = argv[i];
        // As the real clients: only the first argument may say that no option file is read.
        if (i == 1 && arg == L"--no-defaults") continue;
        if (!kind.dump && arg == L"--binary-mode") {
            args.binary_mode = true;
        } else if (!kind.dump && arg == L"--local-infile=0") {
            args.no_local_files = true;
        } else if (auto pipe = value_after(arg, L"--socket=")) {
            args.pipe = *pipe;
        } else if (auto protocol = value_after(arg, L"--protocol=")) {
            if (_stricmp(protocol->c_str(), "PIPE") == 0)
                args.pipe_protocol = true;
            else if (_stricmp(protocol->c_str(), "TCP") == 0 && !kind.dump)
                args.tcp_protocol = true;
            else
                args.error = "bench stand-in: only --protocol=PIPE connections are supported";
        } else if (auto host = kind.dump ? std::nullopt : value_after(arg, L"--host=")) {
            args.host = *host;
            if (args.first_tcp_option.empty()) args.first_tcp_option = utf8(arg);
        } else if (auto port = kind.dump ? std::nullopt : value_after(arg, L"--port=")) {
            args.port = std::strtol(port->c_str(), nullptr, 10);
            if (args.first_tcp_option.empty()) args.first_tcp_option = utf8(arg);
        } else if (auto limit =
                       kind.dump ? std::nullopt : value_after(arg, L"--connect-timeout=")) {
            args.connect_timeout = std::strtol(limit->c_str(), nullptr, 10);
            if (args.first_tcp_option.empty()) args.first_tcp_option = utf8(arg);
        } else if (auto user = value_after(arg, L"--user=")) {
            args.user = *user;
        } else if (auto charset = value_after(arg, L"--default-character-set=")) {
            args.charset = *charset;
        } else if (auto file = kind.dump ? value_after(arg, L"--result-file=") : std::nullopt) {
            args.result_file = wide(*file);
        } else if (kind.dump && arg.starts_with(L"--") &&
                   std::find(std::begin(dump_flags), std::end(dump_flags), utf8(arg.substr(2))) !=
                       std::end(dump_flags)) {
            args.flags.push_back(utf8(arg.substr(2)));
        } else if (!arg.starts_with(L"-") && !args.database) {
            args.database = utf8(arg);
        } else {
            args.error = "unknown option '" + utf8(arg) + "'";
        }
    }
    // Two forms: the named pipe as root, or TCP to a host and port as a register logs in; the
    // TCP options have no place in the first.
    if (!args.error.empty()) return args;
    if (args.pipe_protocol && !args.first_tcp_option.empty())
        args.error = "unknown option '" + args.first_tcp_option + "'";
    else if (args.tcp_protocol && (!args.host || !args.port))
        args.error = "bench stand-in: --protocol=TCP needs --host and --port";
    else if (!args.pipe_protocol && !args.tcp_protocol)
        args.error = "bench stand-in: only --protocol=PIPE or TCP connections are supported";
    return args;
}

// The client names its result file by the path it was given, not by the Linux one behind it.
std::string windows_paths_in(std::string text, const std::optional<std::string>& unix_path,
                             const std::optional<std::wstring>& windows_path) {
    if (!unix_path || !windows_path || unix_path->empty()) return text;
    const std::string native = utf8(*windows_path);
    for (size_t at = text.find(*unix_path); at != std::string::npos;
         at = text.find(*unix_path, at + native.size()))
        text.replace(at, unix_path->size(), native);
    return text;
}

std::optional<std::string> environment_value(const wchar_t* name) {
    DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0) return std::nullopt;
    std::wstring value(n, L'\0');
    n = GetEnvironmentVariableW(name, value.data(), n);
    value.resize(n);
    return utf8(value);
}

void log_client_call(const ClientKind& kind, bool password_set, int argc, wchar_t** argv) {
    std::string line = password_set ? "MYSQL_PWD=set" : "MYSQL_PWD=unset";
    for (int i = 1; i < argc; ++i) {
        line += '\t';
        line += utf8(argv[i]);
    }
    write_all(root() + L"\\logs\\" + kind.name + L".log", line + "\n", true);
}

void to_stream(FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

// A fault a test asks for once (the control file goes when it is used). mysqldump: after that
// many bytes of the dump it writes, as when its connection broke there. mysql: once that many
// statements of its input have run on the server (a line that ends in ";" ends a statement, as in
// the program's SQL and in dumps), the client breaks off, the server is killed, or the client
// holds still for a while before it goes on (for a test that kills the program meanwhile).
struct PartWayFault {
    std::string control; // "mysql.kill-server-after=2": the record of faults that fired names it
    std::size_t after = 0;
    enum class Then { fail, kill_server, hold } then = Then::fail;
};

constexpr DWORD hold_ms = 120000;
// What mysql.exe runs after the statements a fault waits for; the client's output of it (the
// column name, then the value) shows that they ran. The client runs with --unbuffered.
constexpr std::string_view marker_statement = "SELECT 1 AS kelta_bench_fault_marker;\n";
constexpr std::string_view marker_column = "kelta_bench_fault_marker\n";

std::optional<std::size_t> take_count_control(const std::wstring& name) {
    std::string value = control_value(name);
    if (value.empty()) return std::nullopt;
    DeleteFileW((root() + L"\\control\\" + name).c_str());
    return static_cast<std::size_t>(std::strtoull(value.c_str(), nullptr, 10));
}

std::optional<PartWayFault> take_part_way_fault(const std::wstring& program) {
    using Then = PartWayFault::Then;
    for (auto [name, then] : {std::pair{L".kill-server-after", Then::kill_server},
                              {L".fail-after", Then::fail},
                              {L".hold-after", Then::hold}}) {
        const std::wstring control = program + name;
        if (auto after = take_count_control(control))
            return PartWayFault{.control = utf8(control) + "=" + std::to_string(*after),
                                .after = *after,
                                .then = then};
    }
    return std::nullopt;
}

// The server behind the pipe dies at once (SIGKILL), as in a power cut of its own.
bool kill_server(const std::string& pipe) {
    std::string error;
    std::shared_ptr<AgentLink> link = open_bench_agent(error);
    if (!link) return false;
    link->send('Q', Request("kill-server").text("pipe", pipe).json());
    while (auto frame = link->receive())
        if (frame->kind == 'X' || frame->kind == 'F') return frame->payload == "0";
    return false;
}

// Between the thread that feeds the client and the one that reads what it answers: whether the
// statements a fault waits for have run, and what the feeder does then.
struct FaultGate {
    HANDLE decided = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> go_on{false};
    std::atomic<std::size_t> lines_sent{0};
    std::atomic<bool> marker_sent{false};
};

// Standard input goes to the agent. With a fault, the statements before it go, then the marker;
// the rest follows once the fault is decided: after a hold it goes on, otherwise it is read and
// dropped (the statement the break hit never ran), so that the writer never waits on us.
void pump_stdin(std::shared_ptr<AgentLink> link, std::optional<PartWayFault> fault,
                std::shared_ptr<FaultGate> gate) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string buffer(stdin_chunk, '\0');
    std::size_t statements = 0, lines = 0;
    bool waiting = fault.has_value(), dropping = false;
    std::string line_tail; // the current line so far, for the statement count
    DWORD got = 0;
    auto reach_fault = [&] {
        gate->lines_sent.store(lines);
        gate->marker_sent.store(true);
        link->send('I', marker_statement);
        WaitForSingleObject(gate->decided, INFINITE);
        waiting = false;
        dropping = !gate->go_on.load();
    };
    if (waiting && fault->after == 0) reach_fault();
    while (input && input != INVALID_HANDLE_VALUE &&
           ReadFile(input, buffer.data(), stdin_chunk, &got, nullptr) && got > 0) {
        std::string_view chunk(buffer.data(), got);
        while (waiting && !chunk.empty()) {
            const std::size_t end = chunk.find('\n');
            if (end == std::string_view::npos) {
                line_tail.append(chunk);
                link->send('I', chunk);
                chunk = {};
                break;
            }
            std::string line = line_tail + std::string(chunk.substr(0, end));
            line_tail.clear();
            link->send('I', chunk.substr(0, end + 1));
            chunk.remove_prefix(end + 1);
            ++lines;
            const std::size_t last = line.find_last_not_of(" \t\r");
            if (last != std::string::npos && line[last] == ';' && ++statements == fault->after)
                reach_fault();
        }
        if (!dropping && !chunk.empty() && !link->send('I', chunk)) return;
    }
    link->send('I', {});
}

// The statements before the fault have run: what the test asked for happens now, and the record
// of faults that fired says so (a server that could not be killed is no fault that fired).
void act_on(const PartWayFault& fault, const std::string& pipe, std::size_t lines) {
    const std::string ran =
        std::to_string(fault.after) + " statements (" + std::to_string(lines) + " lines) ran";
    switch (fault.then) {
    case PartWayFault::Then::kill_server:
        if (kill_server(pipe)) record_fault(fault.control, ran + ", then the server was killed");
        return;
    case PartWayFault::Then::fail:
        record_fault(fault.control, ran + ", then the client broke off");
        return;
    case PartWayFault::Then::hold:
        record_fault(fault.control, ran + ", then the client held still");
        Sleep(hold_ms);
        return;
    }
}

std::uint64_t now_ms() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return ((std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime) / 10000;
}

DWORD parent_process_id() {
    using Query = LONG(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<Query>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess"));
    PROCESS_BASIC_INFORMATION basic{};
    if (!query ||
        query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0)
        return 0;
    return static_cast<DWORD>(basic.InheritedFromUniqueProcessId);
}

// logs\calls.log: the program, the process that started it, and when the call began and ended
// (milliseconds of the system clock), so that a test can tell whose calls overlapped.
void write_span(const ClientKind& kind, std::uint64_t started) {
    write_all(root() + L"\\logs\\calls.log",
              utf8(kind.name) + "\t" + std::to_string(parent_process_id()) + "\t" +
                  std::to_string(started) + "\t" + std::to_string(now_ms()) + "\n",
              true);
}

// Appends the client's answer to the output, without the marker's lines; true when the marker
// was in it.
bool without_marker(std::string& held, std::string_view payload, std::string& out) {
    held.append(payload);
    const std::size_t at = held.find(marker_column);
    if (at == std::string::npos) return false;
    out = held.substr(0, at);
    const std::size_t value_end = held.find('\n', at + marker_column.size());
    if (value_end != std::string::npos) out += held.substr(value_end + 1);
    held.clear();
    return true;
}

// A test can ask for a dump that lacks its closing line, as one cut short would.
void drop_completion_line(const std::wstring& result_file) {
    std::string dump = read_all(result_file);
    size_t last = dump.rfind("-- Dump completed");
    if (last == std::string::npos) return;
    write_all(result_file, dump.substr(0, last), false);
}

} // namespace

int run_client(const ClientKind& kind, int argc, wchar_t** argv) {
    const std::uint64_t started = now_ms();
    const std::string name = utf8(kind.name);
    ensure_folders();
    auto password = environment_value(L"MYSQL_PWD");
    log_client_call(kind, password.has_value(), argc, argv);
    // A slow start of the program (a loaded machine, a virus scanner), before anything else.
    if (std::string delay = control_value(kind.name + std::wstring(L".start-delay"));
        !delay.empty())
        Sleep(static_cast<DWORD>(std::strtoul(delay.c_str(), nullptr, 10)));
    if (argc == 2 && std::wstring_view(argv[1]) == L"--version") {
        to_stream(stdout,
                  name + "  Ver 14.14 Distrib 5.7.29, for Win64 (x86_64) (bench stand-in)\n");
        return 0;
    }
    ClientArguments args = parse(kind, argc, argv);
    if (!args.error.empty()) {
        to_stream(stderr, name + ": [ERROR] " + args.error + "\n");
        return exit_unknown_option;
    }
    // The program drops this line from what it shows; it must be there to be dropped.
    if (password && !password->empty())
        to_stream(
            stderr,
            name + ": [Warning] Using a password on the command line interface can be insecure.\n");

    std::optional<std::wstring> result_file;
    std::optional<std::string> result_unix;
    if (kind.dump && args.result_file) {
        result_file = full_path(*args.result_file);
        result_unix = map_windows_path(utf8(*result_file));
        if (!result_unix) {
            to_stream(stderr, name + ": Can't create/write to file '" + utf8(*result_file) +
                                  "' (Errcode: 2 - No such file or directory)\n");
            return kind.failure_exit;
        }
    }

    std::string error;
    std::shared_ptr<AgentLink> link = open_bench_agent(error);
    if (!link) {
        if (result_file) write_all(*result_file, "", false); // as the real one, the file exists
        to_stream(stderr, name + ": [ERROR] " + error + "\n");
        return kind.failure_exit;
    }

    Request request(args.tcp_protocol ? "tcp-client" : "client");
    if (args.tcp_protocol) {
        // The 5.7 client's batch output, column names included, and its Windows error lines.
        request.text("host", *args.host).number("port", *args.port).flag("rows", false);
        request.flag("windows", true);
        if (args.connect_timeout) request.number("connect_timeout", *args.connect_timeout);
    }
    request.text("tool", name).text("pipe", args.pipe).text("user", args.user);
    if (args.charset) request.text("charset", *args.charset);
    if (password) request.text("password", *password);
    if (args.database) request.text("database", *args.database);
    if (kind.dump) request.texts("flags", args.flags);
    if (args.binary_mode) request.flag("binary_mode", true);
    if (args.no_local_files) request.flag("no_local_files", true);
    if (result_unix) request.text("result_file", *result_unix);
    link->send('Q', request.json());
    const std::optional<PartWayFault> fault = take_part_way_fault(kind.name);
    auto gate = std::make_shared<FaultGate>();
    if (kind.dump)
        link->send('I', {});
    else
        std::thread(pump_stdin, link, fault, gate).detach();

    // While the marker is awaited the client's output is held back, to leave the marker out.
    bool fired = false;
    std::string held;
    int code = kind.failure_exit;
    bool ended = false;
    while (!ended) {
        auto frame = link->receive();
        if (!frame) {
            to_stream(stderr, name + ": [ERROR] lost the connection to the bench agent\n");
            break;
        }
        switch (frame->kind) {
        case 'O':
            if (!kind.dump && fault && !fired && gate->marker_sent.load()) {
                std::string out;
                if (!without_marker(held, frame->payload, out)) break;
                to_stream(stdout, out);
                fired = true;
                act_on(*fault, args.pipe, gate->lines_sent.load());
                gate->go_on.store(fault->then == PartWayFault::Then::hold);
                SetEvent(gate->decided);
                break;
            }
            to_stream(stdout, frame->payload);
            break;
        case 'E':
            to_stream(stderr, windows_paths_in(frame->payload, result_unix, result_file));
            break;
        case 'F':
            to_stream(stderr, name + ": [ERROR] " + frame->payload + "\n");
            ended = true;
            break;
        case 'X':
            code = std::atoi(frame->payload.c_str());
            ended = true;
            break;
        default:
            break;
        }
    }
    if (!held.empty()) to_stream(stdout, held);
    // A client that ended before the marker (an error of its own) never met the fault.
    SetEvent(gate->decided);
    if (code == 0 && result_file && control_on(std::wstring(kind.name) + L".truncate"))
        drop_completion_line(*result_file);
    // A dump whose server hangs part-way: the file stops growing at that many bytes and the
    // client waits for ever, as the real one waits for a server that no longer answers.
    if (code == 0 && result_file) {
        if (auto stalled = take_count_control(std::wstring(kind.name) + L".stall-after")) {
            write_all(*result_file, read_all(*result_file).substr(0, *stalled), false);
            Sleep(INFINITE);
        }
    }
    if (kind.dump && fault && code == 0) {
        // The break: the dump so far stays in the file, and the client says what the real one
        // says when its connection goes.
        if (result_file)
            write_all(*result_file, read_all(*result_file).substr(0, fault->after), false);
        const bool killed =
            fault->then == PartWayFault::Then::kill_server && kill_server(args.pipe);
        record_fault(fault->control, "the dump broke off after " + std::to_string(fault->after) +
                                         " bytes" + (killed ? "; the server was killed" : ""));
        to_stream(stderr, name + ": Error 2013: Lost connection to MySQL server during query\n");
        code = kind.failure_exit;
    } else if (fired && fault->then != PartWayFault::Then::hold && code == 0) {
        to_stream(stderr, "ERROR 2013 (HY000) at line " +
                              std::to_string(gate->lines_sent.load() + 1) +
                              ": Lost connection to MySQL server during query\n");
        code = kind.failure_exit;
    }
    write_span(kind, started);
    return code;
}

} // namespace bench
