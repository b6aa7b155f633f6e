#include "server.h"

#include "base/text.h"

#include <gtest/gtest.h>

namespace e2e {

InstalledServer::InstalledServer(const std::string& extra_config) {
    wchar_t saved[MAX_PATH] = {};
    GetEnvironmentVariableW(L"ProgramData", saved, MAX_PATH);
    saved_program_data_ = saved;
    SetEnvironmentVariableW(L"ProgramData", widen(folder_.program_data()).c_str());
    clear_bench_control();
    clear_tool_state();
    remove_service("KeltaMySQL57");
    port_ = free_tcp_port();
    const std::string config = folder_.program_data() + "\\install.ini";
    write_file(config, "[connection]\r\nport=" + std::to_string(port_) + "\r\n" + extra_config);
    auto finished = mode({"--install", "--config", config});
    installed_ = finished.exit_code == 0;
    install_time_ = finished.elapsed;
    EXPECT_TRUE(installed_) << "install failed: " << read_file(folder_.path("tray.log"));
}

InstalledServer::~InstalledServer() {
    remove_service("KeltaMySQL57");
    clear_bench_control();
    SetEnvironmentVariableW(L"ProgramData", saved_program_data_.c_str());
}

ConnectionSettings InstalledServer::settings() const {
    auto settings = read_settings_file(folder_.path("connection.ini"));
    EXPECT_TRUE(settings.has_value()) << settings.error();
    return settings.value_or(ConnectionSettings{});
}

Finished InstalledServer::mode(std::vector<std::string> arguments) const {
    arguments.push_back("--quiet");
    return run({arguments, {{"ProgramData", folder_.program_data()}}}, std::chrono::seconds(240));
}

std::vector<std::string> InstalledServer::log() const {
    std::vector<std::string> lines;
    for (const auto& line : lines_of(read_file(folder_.path("tray.log"))))
        lines.push_back(line.size() > 16 && is_timestamp(line.substr(0, 15)) ? line.substr(16) : line);
    return lines;
}

size_t service_runs() {
    size_t runs = 0;
    for (const auto& call : tool_calls("mysqld"))
        if (!call.empty() && call.back() == "KeltaMySQL57") ++runs;
    return runs;
}

} // namespace e2e
