#include "jobs/client_texts.h"

#include "base/fill_in.h"
#include "i18n/tr.h"

namespace {

std::string_view consequence(CutOff action) {
    switch (action) {
    case CutOff::restart:
        return tr("Restarting MySQL disconnects them. Restart anyway?",
                  "重新启动 MySQL 会断开连接。仍要重新启动吗？");
    case CutOff::uninstall:
        return tr("Uninstalling the service disconnects them. Uninstall anyway?",
                  "卸载服务会断开连接。仍要卸载吗？");
    case CutOff::restore:
        return tr("Restoring replaces the data they are working with. Restore anyway?",
                  "恢复会替换正在使用的数据。仍要恢复吗？");
    case CutOff::save:
        return tr("Saving restarts MySQL and disconnects them. Save anyway?",
                  "保存会重新启动 MySQL 并断开连接。仍要保存吗？");
    case CutOff::stop:
        break;
    }
    return tr("Stopping MySQL disconnects them. Stop anyway?",
              "停止 MySQL 会断开连接。仍要停止吗？");
}

} // namespace

std::string client_list_text(std::span<const ConnectedClient> clients) {
    std::string text;
    for (const ConnectedClient& client : clients) {
        if (!text.empty()) text += ", ";
        if (client.this_computer)
            text += tr("this computer", "本机");
        else
            text += client.name.empty() ? client.address : client.name;
        if (client.connections > 1) text += " \u00D7" + std::to_string(client.connections);
    }
    return text;
}

std::string registers_connected_text(std::size_t count) {
    if (count == 1) return std::string(tr("1 register connected", "已连接 1 台收银机"));
    return fill_in(tr("%1 registers connected", "已连接 %1 台收银机"), {std::to_string(count)});
}

std::string registers_busy_text(std::span<const ConnectedClient> clients) {
    const std::string list = client_list_text(clients);
    if (clients.size() == 1)
        return fill_in(tr("1 register is connected: %1", "已连接 1 台收银机：%1"), {list});
    return fill_in(tr("%1 registers are connected: %2", "已连接 %1 台收银机：%2"),
                   {std::to_string(clients.size()), list});
}

std::string cut_off_question(CutOff action, std::span<const ConnectedClient> clients) {
    const std::string list = client_list_text(clients);
    // The blank between the sentences is the language's: Chinese runs them together.
    std::string text =
        clients.size() == 1
            ? fill_in(tr("1 register is connected (%1). ", "已连接 1 台收银机（%1）。"), {list})
            : fill_in(tr("%1 registers are connected (%2). ", "已连接 %1 台收银机（%2）。"),
                      {std::to_string(clients.size()), list});
    return text.append(consequence(action));
}
