#include "svc/give_back.h"

#include "base/child.h"
#include "base/files.h"
#include "svc/install.h"

Result<void> give_service_back(const std::string& previous_server) {
    // Windows Installer marks an expandable registry text with "#%".
    const std::string server =
        previous_server.starts_with("#%") ? previous_server.substr(2) : previous_server;
    // <folder>\MySQL\bin\mysqld.exe beside <folder>\KeltaMySQL.exe, as install lays it out.
    const std::string program =
        join_path(parent_path(parent_path(parent_path(server))), "KeltaMySQL.exe");
    if (!path_exists(program))
        return fail("no program to give the service back to: " + program + " not found");
    auto code = run_hidden_to_exit(program, {"--install", "--quiet"}, install_time_limit());
    if (!code) return fail(code.error());
    if (*code != 0) return fail(program + " --install: " + exit_code_text(*code));
    return {};
}
