#include "client.h"

#include "agent_link.h"
#include "server_options.h"
#include "../tools/standin.h"

#include <algorithm>
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

void pump_stdin(std::shared_ptr<AgentLink> link) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string buffer(stdin_chunk, '\0');
    DWORD got = 0;
    if (input && input != INVALID_HANDLE_VALUE)
        while (ReadFile(input, buffer.data(), stdin_chunk, &got, nullptr) && got > 0)
            if (!link->send('I', std::string_view(buffer.data(), got))) return;
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
    std::shared_ptr<AgentLink> link = open_agent_beside_program(error);
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
    if (kind.dump)
        link->send('I', {});
    else
        std::thread(pump_stdin, link).detach();

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
            to_stream(stderr, frame->payload);
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
    return code;
}

} // namespace bench
