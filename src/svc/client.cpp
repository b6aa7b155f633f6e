#include "svc/client.h"

#include "base/files.h"
#include "instance/paths.h"
#include "instance/program_folder.h"
#include "svc/status.h"

namespace {

// --no-defaults comes first, as the clients require: no option file anywhere on the machine (a
// my.ini in the Windows folder, one named by MYSQL_HOME) changes what the root client does.
// --local-infile=0: a server may ask its client for any local file (LOAD DATA LOCAL); this one
// reads with the administrators' rights, connection.ini included. mysqldump has no such option.
ChildProcess root_client(std::string_view program_file, const std::string& root_password) {
    ChildProcess client{
        .program = mysql_program_path(program_file),
        .arguments = {"--no-defaults", "--socket=" + std::string(pipe_name), "--protocol=PIPE",
                      "--user=root", "--default-character-set=utf8mb4"},
        // The password travels in the environment, never on a command line.
        .extra_environment = {{"MYSQL_PWD", root_password}},
    };
    if (program_file == "mysql.exe") client.arguments.emplace_back("--local-infile=0");
    return client;
}

} // namespace

Result<void> run_sql_as_root(const std::string& root_password, std::string_view sql) {
    if (auto folder = check_program_folder(); !folder) return folder;
    ChildProcess client = root_client("mysql.exe", root_password);
    auto outcome = run_captured(client, {.text = sql}, false, root_client_time_limit);
    if (!outcome) return fail(outcome.error());
    if (outcome->exit_code != 0) return fail("mysql (root): " + stderr_summary(outcome->error));
    return {};
}

Result<ChildProcess> client_command(std::string_view program_file, const std::string& root_password) {
    if (service_status() != ServiceStatus::Running) return fail("MySQL is not running");
    if (auto folder = check_program_folder(); !folder) return fail(folder.error());
    ChildProcess client = root_client(program_file, root_password);
    if (!path_exists(client.program)) return fail(client.program + " not found");
    return client;
}
