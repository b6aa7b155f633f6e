#pragma once
// A MySQL server of the test's own, installed by the program itself: a fresh ProgramData folder
// (also for this test process, so that in-process calls see the same instance), a free port,
// `KeltaMySQL.exe --install --config`. The service is removed again at the end.
#include "harness.h"

#include "config/settings.h"

#include <chrono>
#include <string>
#include <vector>

namespace e2e {

class InstalledServer {
  public:
    // Extra connection.ini lines for the --config file (the port is chosen here).
    explicit InstalledServer(const std::string& extra_config = "");
    ~InstalledServer();
    InstalledServer(const InstalledServer&) = delete;
    InstalledServer& operator=(const InstalledServer&) = delete;

    const TestFolder& folder() const { return folder_; }
    unsigned short port() const { return port_; }
    bool installed() const { return installed_; }
    // How long the installing --install took, process start included.
    std::chrono::milliseconds install_time() const { return install_time_; }
    // connection.ini as the program stored it.
    ConnectionSettings settings() const;

    // KeltaMySQL.exe with this instance's ProgramData; --quiet is added.
    Finished mode(std::vector<std::string> arguments) const;
    // The tray.log lines, without their timestamps.
    std::vector<std::string> log() const;

  private:
    TestFolder folder_;
    std::wstring saved_program_data_;
    unsigned short port_ = 0;
    bool installed_ = false;
    std::chrono::milliseconds install_time_{};
};

// How many times the service ran mysqld.exe so far (its log of calls).
size_t service_runs();

} // namespace e2e
