#include "tray/texts.h"

#include "i18n/tr.h"

#include <string_view>

namespace {

std::string_view state_text(ServiceStatus status) {
    switch (status) {
    case ServiceStatus::NotInstalled:
        return tr("service not installed", "服务未安装");
    case ServiceStatus::Stopped:
        return tr("stopped", "已停止");
    case ServiceStatus::Starting:
        return tr("starting...", "正在启动…");
    case ServiceStatus::Stopping:
        return tr("stopping...", "正在停止…");
    case ServiceStatus::RunningNotAccepting:
        return tr("running, not accepting connections yet", "运行中，尚未接受连接");
    case ServiceStatus::Running:
        break;
    }
    return tr("running", "运行中");
}

} // namespace

std::string tray_status_line(ServiceStatus status) {
    return "KELTA MySQL 5.7 - " + std::string(state_text(status));
}

std::string tray_tooltip_text(ServiceStatus status, std::uint16_t port) {
    return tray_status_line(status) + " (" + std::string(tr("port", "端口")) + " " +
           std::to_string(port) + ")";
}
