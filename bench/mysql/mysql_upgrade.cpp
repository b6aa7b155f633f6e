// Bench stand-in for MySQL 5.7's mysql_upgrade.exe. It takes the program's client arguments
// (--socket=<pipe> --protocol=PIPE --user=<user> --default-character-set=<set>, the password in
// MYSQL_PWD), logs its call as the clients do (logs\mysql_upgrade.log), logs in through the pipe
// as the real tool does (a query run by the host agent's client) and answers as 5.7's tool does
// when the system tables are brought up to date. The control mysql_upgrade.fail makes its next
// run (the file goes when it is used) fail as the real one does on a damaged system table.
#include "../tools/standin.h"
#include "agent_link.h"

#include <cstdlib>

using namespace standin;

namespace {

constexpr int exit_unknown_option = 7;

void to_stderr(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

std::optional<std::string> value_after(const std::wstring& arg, const wchar_t* prefix) {
    if (!arg.starts_with(prefix)) return std::nullopt;
    return utf8(arg.substr(std::wcslen(prefix)));
}

// The exit code of `SELECT 1` as root through the pipe; the client's error lines go to stderr.
int log_in(const std::string& pipe, const std::string& user, const std::string& charset,
           const char* password) {
    std::string error;
    auto link = bench::open_bench_agent(error);
    if (!link) {
        to_stderr("mysql_upgrade: [ERROR] " + error + "\n");
        return 1;
    }
    bench::Request request("client");
    request.text("tool", "mysql").text("pipe", pipe).text("user", user).text("charset", charset);
    if (password) request.text("password", password);
    link->send('Q', request.json());
    link->send('I', "SELECT 1;\n");
    link->send('I', {});
    while (auto frame = link->receive()) {
        if (frame->kind == 'E') to_stderr(frame->payload);
        if (frame->kind == 'X') return std::atoi(frame->payload.c_str());
        if (frame->kind == 'F') {
            to_stderr("mysql_upgrade: [ERROR] " + frame->payload + "\n");
            return 1;
        }
    }
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    ensure_folders();
    const char* password = std::getenv("MYSQL_PWD");
    std::string line = password ? "MYSQL_PWD=set" : "MYSQL_PWD=unset";
    for (int i = 1; i < argc; ++i) {
        line += '\t';
        line += utf8(argv[i]);
    }
    write_all(root() + L"\\logs\\mysql_upgrade.log", line + "\n", true);

    std::string pipe = "MySQL", user = "ODBC", charset = "utf8";
    bool pipe_protocol = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        // As with every MySQL program, --no-defaults counts only in the first place.
        if (i == 1 && arg == L"--no-defaults") continue;
        if (auto value = value_after(arg, L"--socket="))
            pipe = *value;
        else if (auto user_value = value_after(arg, L"--user="))
            user = *user_value;
        else if (auto set = value_after(arg, L"--default-character-set="))
            charset = *set;
        else if (arg == L"--protocol=PIPE")
            pipe_protocol = true;
        else {
            to_stderr("mysql_upgrade: [ERROR] unknown option '" + utf8(arg) + "'\n");
            return exit_unknown_option;
        }
    }
    if (!pipe_protocol) {
        to_stderr("mysql_upgrade: [ERROR] bench stand-in: only --protocol=PIPE is supported\n");
        return exit_unknown_option;
    }
    if (password && *password)
        to_stderr("mysql_upgrade: [Warning] Using a password on the command line interface can be "
                  "insecure.\n");
    if (int code = log_in(pipe, user, charset, password); code != 0) return code;
    if (control_on(L"mysql_upgrade.fail")) {
        DeleteFileW((root() + L"\\control\\mysql_upgrade.fail").c_str());
        to_stderr(
            "mysql_upgrade: [ERROR] 1034: Index for table 'db' is corrupt; try to repair it\n");
        return 1;
    }
    say("Checking if update is needed.\nChecking server version.\nRunning queries to upgrade MySQL "
        "server.\nChecking system database.\nUpgrading the sys schema.\nChecking databases.\n"
        "Upgrade process completed successfully.\nChecking if update is needed.\n");
    return 0;
}
