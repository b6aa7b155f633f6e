#include "svc/init.h"

#include "base/child.h"
#include "base/files.h"
#include "base/security.h"
#include "instance/data_folder.h"
#include "instance/paths.h"
#include "svc/start_failure.h"

namespace {

// Inside a single-quoted SQL string: the previous account comes from a stored file that may
// have been edited by hand, so its quote and backslash must not end the string.
std::string quoted_literal_body(std::string_view text) {
    std::string body;
    for (char c : text) {
        if (c == '\'' || c == '\\') body += '\\';
        body += c;
    }
    return body;
}

} // namespace

std::string account_sql(const ConnectionSettings& s, const std::optional<ConnectionSettings>& previous) {
    const std::string account = "'" + s.user + "'@'" + s.host + "'";
    std::string sql;
    sql += "CREATE DATABASE IF NOT EXISTS `" + s.database +
           "` CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;\n";
    sql += "CREATE USER IF NOT EXISTS " + account + " IDENTIFIED BY '" + s.password + "';\n";
    sql += "ALTER USER " + account + " IDENTIFIED BY '" + s.password + "';\n";
    sql += "GRANT ALL PRIVILEGES ON `" + s.database + "`.* TO " + account + ";\n";
    if (previous && (previous->user != s.user || previous->host != s.host))
        sql += "DROP USER IF EXISTS '" + quoted_literal_body(previous->user) + "'@'" +
               quoted_literal_body(previous->host) + "';\n";
    sql += "FLUSH PRIVILEGES;\n";
    return sql;
}

Result<void> check_root_password(std::string_view root_password) {
    for (unsigned char c : root_password)
        if (c == '\'' || c == '"' || c == '\\' || c == '`' || c < 0x20 || c == 0x7F)
            return fail("Root password: no quotes, backticks, backslashes or control characters");
    return {};
}

Result<void> initialize_data_dir(const std::string& basedir, const ConnectionSettings& settings) {
    const std::string data = data_dir();
    if (data_dir_initialized()) return {};
    if (auto safe = check_root_password(settings.root_password); !safe) return safe;
    // A directory without its "mysql" folder is what a failed initialization leaves.
    if (path_exists(data)) delete_tree(data);
    // Made here, empty, so that the server's data is private from its first file on (mysqld
    // initializes an empty directory as readily as a missing one).
    if (auto made = create_folder_with(data, private_folder_descriptor); !made) return made;

    const std::string init_file = init_sql_path();
    const std::string init_text = "ALTER USER 'root'@'localhost' IDENTIFIED BY '" +
                                  settings.root_password + "';\n" + account_sql(settings, std::nullopt);
    // The file holds the root password in clear text: only SYSTEM and Administrators may read
    // it, from the moment it exists until it is deleted below.
    if (auto written = replace_private_file_contents(init_file, init_text); !written) {
        std::string reason = written.error();
        if (reason.starts_with(init_file + ": ")) reason.erase(0, init_file.size() + 2);
        return fail(reason);
    }

    auto ran = run_hidden_to_exit(join_path(join_path(basedir, "bin"), "mysqld.exe"),
                                  {"--defaults-file=" + my_ini_path(), "--initialize-insecure",
                                   "--init-file=" + init_file},
                                  initialize_time_limit);
    delete_file(init_file);
    // A server that could not start or did not finish says nothing in its log about it.
    if (!ran) return fail(ran.error());
    if (*ran == 0 && path_exists(join_path(data, "mysql"))) return {};
    if (const auto cannot_run = cannot_run_diagnosis(*ran)) {
        store_diagnosis(*cannot_run);
        return fail(
            failure_text(*cannot_run, "mysqld --initialize failed: " + exit_code_text(*ran)));
    }
    return fail("mysqld --initialize failed; see " + error_log_path());
}
