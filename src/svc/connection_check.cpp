#include "svc/connection_check.h"

#include "base/child.h"
#include "base/fill_in.h"
#include "base/text.h"
#include "config/addresses.h"
#include "config/settings.h"
#include "i18n/tr.h"
#include "instance/paths.h"
#include "instance/program_folder.h"
#include "svc/firewall_state.h"
#include "svc/myini.h"
#include "svc/status.h"

#include <algorithm>
#include <chrono>

namespace {

constexpr int wrong_password = 1045;
constexpr int unknown_database = 1049;
constexpr int host_not_allowed = 1130;
constexpr int cannot_connect = 2003;
constexpr std::string_view connect_limit = "--connect-timeout=10";

struct Login {
    ChildOutcome outcome;
    long long milliseconds = 0;
};

// How long a run of the client takes, start and end included.
template <class Run> std::chrono::milliseconds timed(Run run) {
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

// The register's login, with the password in the environment as for every client call. Its
// time is the login's: a run of the client that only tells its version, right after, gives what
// starting and ending the program costs, which can be far more than a login on the shop's own
// network.
Result<Login> log_in(const ConnectionSettings& settings, const std::string& address) {
    if (auto folder = check_program_folder(); !folder) return fail(folder.error());
    // As the root client: no option file, and no local file for whatever answers on that port.
    ChildProcess client{
        .program = mysql_program_path("mysql.exe"),
        .arguments = {"--no-defaults", "--host=" + address,
                      "--port=" + std::to_string(settings.port), "--protocol=TCP",
                      "--user=" + settings.user, "--default-character-set=utf8mb4",
                      std::string(connect_limit), "--local-infile=0", settings.database},
        .extra_environment = {{"MYSQL_PWD", settings.password}},
    };
    Result<ChildOutcome> outcome;
    const auto whole = timed(
        [&] { outcome = run_captured(client, {.text = "SELECT 1;\n"}, true, tool_time_limit); });
    if (!outcome) return fail(outcome.error());
    const auto start_and_end = timed([] {
        (void)run_captured({.program = mysql_program_path("mysql.exe"), .arguments = {"--version"}},
                           {}, false, tool_time_limit);
    });
    return Login{std::move(*outcome), std::max(whole - start_and_end, decltype(whole){}).count()};
}

// A bind-address on the loopback network: MySQL then answers this computer alone.
bool listens_only_here(const std::optional<std::string>& bind_address) {
    const auto address = bind_address ? parse_ipv4(*bind_address) : std::nullopt;
    return address && (*address)[0] == 127;
}

bool answered_one(std::string_view output) {
    for (std::string_view line : split_lines(output))
        if (trim(line) == "1") return true;
    return false;
}

std::string refusal(const ConnectionSettings& settings, const std::string& address,
                    const std::string& client_error) {
    const std::string port = std::to_string(settings.port);
    switch (client_error_number(client_error)) {
    case wrong_password:
        return fill_in(
            tr("Wrong password: the server refused user %1.", "密码错误：服务器拒绝了用户 %1。"),
            {settings.user});
    case host_not_allowed:
        return fill_in(tr("This computer's address %1 may not log in as %2 (allowed host: %3).",
                          "本机地址 %1 不允许以 %2 登录（允许的主机：%3）。"),
                       {address, settings.user, settings.host});
    case unknown_database:
        return fill_in(tr("The database %1 does not exist.", "数据库 %1 不存在。"),
                       {settings.database});
    case cannot_connect:
        return fill_in(tr("MySQL does not listen at %1 port %2 (my.ini: bind-address %3, port %4).",
                          "MySQL 没有在 %1 端口 %2 上监听（my.ini：bind-address %3，端口 %4）。"),
                       {address, port, read_my_ini_value("bind-address").value_or("*"),
                        std::to_string(configured_port())});
    default:
        return fill_in(tr("The test login failed: %1", "测试登录失败：%1"),
                       {stderr_summary(client_error)});
    }
}

} // namespace

int client_error_number(std::string_view error_output) {
    constexpr std::string_view mark = "ERROR ";
    for (std::string_view line : split_lines(error_output))
        if (line.starts_with(mark))
            if (auto number =
                    parse_u16(line.substr(mark.size(), line.find(' ', mark.size()) - mark.size())))
                return *number;
    return 0;
}

Result<std::string> check_connection() {
    const ServiceStatus status = service_status();
    if (status == ServiceStatus::NotInstalled)
        return fail(std::string(tr("The MySQL service is not installed", "MySQL 服务未安装")));
    if (status != ServiceStatus::Running && status != ServiceStatus::RunningNotAccepting)
        return fail(std::string(tr("MySQL is not running, so no register can log in.",
                                   "MySQL 没有运行，收银机无法登录。")));
    const auto settings = load_settings();
    if (!settings)
        return fail(std::string(tr("connection.ini not found", "找不到 connection.ini")));
    // The address the registers are told, not loopback: that is the way they come in. A server
    // that listens on loopback alone is tried there, so that a working login is told apart
    // from a server that does not answer at all.
    const std::optional<std::string> listening = read_my_ini_value("bind-address");
    const bool only_here = listens_only_here(listening);
    const std::string address = only_here ? *listening : register_address(settings->bind);
    auto login = log_in(*settings, address);
    if (!login)
        return fail(fill_in(tr("The test login failed: %1", "测试登录失败：%1"), {login.error()}));
    if (login->outcome.exit_code != 0 || !answered_one(login->outcome.output))
        return fail(refusal(*settings, address, login->outcome.error));
    if (only_here)
        return fail(
            fill_in(tr("MySQL listens only on this computer (bind-address %1 in my.ini), "
                       "so registers on other computers cannot connect. Choose the "
                       "server IP on the Connection page.",
                       "MySQL 只在本机上监听（my.ini 中的 bind-address 为 %1），其他电脑上的"
                       "收银机无法连接。请在“连接方式”页面选择服务器 IP。"),
                    {*listening}));
    // A login from this computer passes its own firewall; the registers' logins do not.
    const auto firewall = firewall_state(settings->port);
    if (!firewall || !firewall->lets_in)
        return fail(fill_in(tr("This computer can log in, but Windows Firewall keeps other "
                               "computers out of port %1.",
                               "本机可以登录，但 Windows 防火墙未对其它电脑开放端口 %1。"),
                            {std::to_string(settings->port)}));
    return fill_in(tr("A register can log in to %1 port %2 (answer in %3 ms).",
                      "收银机可以登录 %1 端口 %2（%3 毫秒内应答）。"),
                   {address, std::to_string(settings->port), std::to_string(login->milliseconds)});
}
