#include "svc/init.h"

#include "base/child.h"
#include "base/files.h"
#include "base/local_time.h"
#include "base/security.h"
#include "base/text.h"
#include "instance/data_folder.h"
#include "instance/paths.h"
#include "instance/tray_log.h"
#include "svc/backup_state.h"
#include "svc/start_failure.h"

#include <windows.h>

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

// A data directory that is not a finished server's is what a killed or failed initialization
// left: set aside as data.incomplete-<local time> and named in tray.log, never deleted unseen.
// An empty one simply goes.
Result<void> set_aside_unfinished(const std::string& data) {
    if (!path_exists(data) || RemoveDirectoryW(widen(data).c_str())) return {};
    const std::string aside = data + ".incomplete-" + local_timestamp();
    if (!MoveFileExW(widen(data).c_str(), widen(aside).c_str(), 0))
        return fail(data +
                    " (left by an initialization that did not finish) cannot be set aside: " +
                    last_error_text());
    append_tray_log(data + " set aside as " + aside + ": an initialization that did not finish",
                    true);
    return {};
}

Result<void> mark_initialized() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return replace_private_file_contents(initialized_marker_path(),
                                         "initialized " + local_time_text(now) + "\r\n");
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
    const std::string init_file = init_sql_path();
    if (data_dir_initialized()) {
        // The init file of a finished initialization that was cut off before it was deleted: the
        // root password must not lie about.
        delete_file(init_file);
        return {};
    }
    if (auto safe = check_root_password(settings.root_password); !safe) return safe;
    if (auto aside = set_aside_unfinished(data); !aside) return aside;
    // Made here, empty, so that the server's data is private from its first file on (mysqld
    // initializes an empty directory as readily as a missing one).
    if (auto made = create_folder_with(data, private_folder_descriptor); !made) return made;

    const std::string init_text = "ALTER USER 'root'@'localhost' IDENTIFIED BY '" +
                                  settings.root_password + "';\n" + account_sql(settings, std::nullopt);
    // The file holds the root password in clear text: only SYSTEM and Administrators may read
    // it, from the moment it exists until it is deleted below. While it exists, the data
    // directory counts as unfinished.
    if (auto written = replace_private_file_contents(init_file, init_text); !written) {
        std::string reason = written.error();
        if (reason.starts_with(init_file + ": ")) reason.erase(0, init_file.size() + 2);
        return fail(reason);
    }

    auto ran = run_hidden_to_exit(join_path(join_path(basedir, "bin"), "mysqld.exe"),
                                  {"--defaults-file=" + my_ini_path(), "--initialize-insecure",
                                   "--init-file=" + init_file},
                                  initialize_time_limit);
    // The marker goes in before the init file goes: in between, a cut-off program leaves a
    // directory that counts as finished and a file the next install deletes.
    const bool finished = ran && *ran == 0 && path_exists(join_path(data, "mysql"));
    auto marked = finished ? mark_initialized() : Result<void>{};
    delete_file(init_file);
    // A server that could not start or did not finish says nothing in its log about it.
    if (!ran) return fail(ran.error());
    if (finished) return marked;
    if (const auto cannot_run = cannot_run_diagnosis(*ran)) {
        store_diagnosis(*cannot_run);
        return fail(
            failure_text(*cannot_run, "mysqld --initialize failed: " + exit_code_text(*ran)));
    }
    return fail("mysqld --initialize failed; see " + error_log_path());
}
