#include "setup/overview_texts.h"

#include "base/fill_in.h"
#include "i18n/tr.h"
#include "jobs/client_texts.h"

namespace {
constexpr std::string_view separator = "  \u00B7  ";
constexpr std::string_view bullet = "\u25CF";
constexpr std::size_t most_bullets = 12;

// Characters, not bytes: every UTF-8 lead byte starts one.
std::size_t characters_in(std::string_view utf8) {
    std::size_t count = 0;
    for (char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    return count;
}
} // namespace

std::string_view status_text(ServiceStatus status) {
    switch (status) {
    case ServiceStatus::NotInstalled:
        return tr("The MySQL service is not installed", "MySQL 服务未安装");
    case ServiceStatus::Stopped:
        return tr("MySQL is stopped", "MySQL 已停止");
    case ServiceStatus::Starting:
        return tr("MySQL is starting...", "MySQL 正在启动…");
    case ServiceStatus::Stopping:
        return tr("MySQL is stopping...", "MySQL 正在停止…");
    case ServiceStatus::RunningNotAccepting:
        return tr("MySQL is running but not accepting connections yet",
                  "MySQL 已运行，尚未接受连接");
    case ServiceStatus::Running:
        break;
    }
    return tr("MySQL is running", "MySQL 正在运行");
}

std::string detail_line(ServiceStatus status, std::uint16_t configured_port,
                        std::string_view server, StartType start_type) {
    if (status == ServiceStatus::NotInstalled) return {};
    std::string_view start = start_type == StartType::automatic
                                 ? tr("Starts with Windows", "随 Windows 启动")
                                 : tr("Manual start", "手动启动");
    std::string line(tr("Port", "端口"));
    line += ' ';
    line += std::to_string(configured_port);
    line += separator;
    line += tr("Server IP", "服务器 IP");
    line += " ";
    line += server;
    line += separator;
    line += start;
    return line;
}

std::string password_display(std::string_view password, bool visible) {
    if (visible) return std::string(password);
    std::string bullets;
    for (std::size_t i = 0; i < std::min(characters_in(password), most_bullets); ++i)
        bullets += bullet;
    return bullets;
}

std::string connection_string(const ConnectionSettings& s, std::string_view server) {
    return "Server=" + std::string(server) + ";Port=" + std::to_string(s.port) +
           ";Database=" + s.database + ";User=" + s.user + ";Password=" + s.password + ";";
}

std::string firewall_line(std::optional<bool> firewall_open, std::uint16_t port) {
    if (!firewall_open)
        return std::string(tr("Windows Firewall: checking\u2026", "Windows 防火墙：正在检查…"));
    const std::string number = std::to_string(port);
    if (*firewall_open)
        return std::string(tr("Windows Firewall: open for other computers, port",
                              "Windows 防火墙：已对其它电脑开放端口")) +
               " " + number;
    return std::string(tr("Windows Firewall: port", "Windows 防火墙：端口")) + " " + number +
           std::string(
               tr(" is CLOSED - other registers cannot connect", " 未开放 —— 其它收银机连不进来"));
}

std::string_view firewall_unknown_line() {
    return tr("Windows Firewall: could not be checked", "Windows 防火墙：无法检查");
}

ServiceButtons service_buttons(ServiceStatus status) {
    const bool running =
        status == ServiceStatus::Running || status == ServiceStatus::RunningNotAccepting;
    return {.shown = status != ServiceStatus::NotInstalled,
            .start = status == ServiceStatus::Stopped,
            .stop = running || status == ServiceStatus::Starting,
            .restart = running};
}

std::string_view install_button_text(ServiceStatus status) {
    if (status == ServiceStatus::NotInstalled) return tr("Install service", "安装服务");
    return tr("Uninstall service", "卸载服务");
}

bool open_port_offered(ServiceStatus status, std::optional<bool> firewall_open) {
    return status != ServiceStatus::NotInstalled && firewall_open == false;
}

bool rotation_task_warned(ServiceStatus status, std::optional<bool> rotation_task_present) {
    return status != ServiceStatus::NotInstalled && rotation_task_present == false;
}

std::string connected_line(const std::optional<std::vector<ConnectedClient>>& clients) {
    if (!clients) return {};
    if (clients->empty()) return std::string(tr("No register connected", "没有收银机连接"));
    return fill_in(tr("Connected now: %1 \u2014 %2", "当前连接：%1 \u2014 %2"),
                   {std::to_string(clients->size()), client_list_text(*clients)});
}

std::string uninstall_question(std::string_view data_folder) {
    return std::string(tr(
               "Uninstall the MySQL service?\n\nMySQL will be stopped, and the Windows service, "
               "the firewall rule and the daily log-rotation task will be removed. The registers "
               "will no longer be able to connect.\n\nThe database files are NOT deleted. They "
               "stay in:\n",
               "要卸载 MySQL 服务吗？\n\nMySQL 会先停止，然后删除 Windows 服务、防火墙规则和每天的"
               "日志分隔计划任务，收银机将连不上数据库。\n\n数据库文件不会删除，仍保留在：\n")) +
           std::string(data_folder);
}
