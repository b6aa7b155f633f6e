#include "client.h"

#include "../tools/standin.h"
#include "agent_link.h"
#include "server_options.h"

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
        if (auto pipe = value_after(arg, L"--socket=")) {
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

// A fault a test asks for once (the control file goes when it is used): the client stops
// part-way, after that many bytes of the dump it writes or of the SQL it reads, as it would when
// its connection broke there; with the server killed at that point too, or not.
struct PartWayFault {
    std::size_t after = 0;
    bool kill_server = false;
};

std::optional<std::size_t> take_count_control(const std::wstring& name) {
    std::string value = control_value(name);
    if (value.empty()) return std::nullopt;
    DeleteFileW((root() + L"\\control\\" + name).c_str());
    return static_cast<std::size_t>(std::strtoull(value.c_str(), nullptr, 10));
}

std::optional<PartWayFault> take_part_way_fault(const std::wstring& program) {
    if (auto after = take_count_control(program + L".kill-server-after"))
        return PartWayFault{.after = *after, .kill_server = true};
    if (auto after = take_count_control(program + L".fail-after"))
        return PartWayFault{.after = *after};
    return std::nullopt;
}

// The server behind the pipe dies at once (SIGKILL), as in a power cut of its own.
void kill_server(const std::string& pipe) {
    std::string error;
    std::shared_ptr<AgentLink> link = open_bench_agent(error);
    if (!link) return;
    link->send('Q', Request("kill-server").text("pipe", pipe).json());
    while (auto frame = link->receive())
        if (frame->kind == 'X' || frame->kind == 'F') return;
}

// Standard input goes to the agent. With a fault, only the whole lines within its first bytes
// do (the statements before the break ran, the one it hit did not), and the rest is read and
// dropped, so that the writer never waits on us.
void pump_stdin(std::shared_ptr<AgentLink> link, std::optional<PartWayFault> fault,
                std::string pipe, std::shared_ptr<std::atomic<std::size_t>> lines_sent) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string buffer(stdin_chunk, '\0');
    std::string head;
    DWORD got = 0;
    if (input && input != INVALID_HANDLE_VALUE) {
        while (ReadFile(input, buffer.data(), stdin_chunk, &got, nullptr) && got > 0) {
            std::string_view chunk(buffer.data(), got);
            if (!fault) {
                if (!link->send('I', chunk)) return;
            } else if (head.size() < fault->after) {
                head.append(chunk.substr(0, fault->after - head.size()));
            }
        }
    }
    if (fault) {
        head.resize(head.find_last_of('\n') + 1); // npos + 1 == 0: no whole line
        lines_sent->store(static_cast<std::size_t>(std::count(head.begin(), head.end(), '\n')));
        if (!head.empty()) link->send('I', head);
        if (fault->kill_server) kill_server(pipe);
    }
    link->send('I', {});
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
    if (result_unix) request.text("result_file", *result_unix);
    link->send('Q', request.json());
    const std::optional<PartWayFault> fault = take_part_way_fault(kind.name);
    auto lines_sent = std::make_shared<std::atomic<std::size_t>>(0);
    if (kind.dump)
        link->send('I', {});
    else
        std::thread(pump_stdin, link, fault, args.pipe, lines_sent).detach();

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
    if (code == 0 && result_file && control_on(std::wstring(kind.name) + L".truncate"))
        drop_completion_line(*result_file);
    if (fault && code == 0) {
        // The break: the dump so far stays in the file, and the client says what the real one
        // says when its connection goes.
        if (kind.dump) {
            if (result_file)
                write_all(*result_file, read_all(*result_file).substr(0, fault->after), false);
            if (fault->kill_server) kill_server(args.pipe);
            to_stream(stderr,
                      name + ": Error 2013: Lost connection to MySQL server during query\n");
        } else {
            to_stream(stderr, "ERROR 2013 (HY000) at line " + std::to_string(*lines_sent + 1) +
                                  ": Lost connection to MySQL server during query\n");
        }
        code = kind.failure_exit;
    }
    return code;
}

} // namespace bench
