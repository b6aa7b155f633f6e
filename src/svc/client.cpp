#include "svc/client.h"

#include "base/files.h"
#include "instance/paths.h"
#include "svc/status.h"

namespace {

ChildProcess root_client(std::string program, const std::string& root_password) {
    return ChildProcess{
        .program = std::move(program),
        .arguments = {"--socket=" + std::string(pipe_name), "--protocol=PIPE", "--user=root",
                      "--default-character-set=utf8mb4"},
        // The password travels in the environment, never on a command line.
        .extra_environment = {{"MYSQL_PWD", root_password}},
    };
}

} // namespace

Result<void> run_sql_as_root(const std::string& root_password, std::string_view sql) {
    ChildProcess client = root_client(mysql_program_path("mysql.exe"), root_password);
    auto outcome = run_captured(client, {.text = sql}, false, root_client_time_limit);
    if (!outcome) return fail(outcome.error());
    if (outcome->exit_code != 0) return fail("mysql (root): " + stderr_summary(outcome->error));
    return {};
}

Result<ChildProcess> client_command(std::string_view program_file, const std::string& root_password) {
    if (service_status() != ServiceStatus::Running) return fail("MySQL is not running");
    std::string program = mysql_program_path(program_file);
    if (!path_exists(program)) return fail(program + " not found");
    return root_client(std::move(program), root_password);
}
