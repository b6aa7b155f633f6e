#include "svc/backup.h"

#include "base/files.h"
#include "base/handles.h"
#include "base/security.h"
#include "base/text.h"
#include "config/settings.h"
#include "instance/data_folder.h"
#include "instance/paths.h"
#include "svc/client.h"
#include "svc/dump_file.h"
#include "svc/dump_progress.h"

#include <windows.h>

namespace {

// A file name for a new dump: 999 dumps of one name in one second is more than any shop makes.
constexpr int most_numbered_names = 999;

// The whole database into `temporary`; on any failure the temporary file is gone. Errors about
// the file name `shown`, the file the caller asked for.
Result<void> dump_to(const std::string& temporary, const std::string& shown) {
    auto settings = load_settings();
    if (!settings) return fail(settings_path() + " not found (install the MySQL service first)");

    auto dump = client_command("mysqldump.exe", settings->root_password);
    if (!dump) return fail(dump.error());
    // mysqldump writes into a file made here and now, owned by the Administrators group with the
    // rights of its folder: a file planted under the temporary name would lend the whole
    // database its owner and rights.
    if (auto made = create_fresh_file(temporary, admin_owned_descriptor, GENERIC_WRITE); !made)
        return fail(shown + ": " + made.error());
    dump->arguments.insert(dump->arguments.end(),
                           {"--single-transaction", "--routines", "--triggers", "--events",
                            "--result-file=" + temporary, settings->database});
    const ChildWatch progress = dump_stall_watch(temporary);
    auto outcome = run_captured(*dump, {}, true, std::nullopt, &progress);
    if (!outcome) {
        delete_file(temporary);
        return fail(outcome.error());
    }
    if (outcome->exit_code != 0) {
        delete_file(temporary);
        return fail("mysqldump failed: " + stderr_summary(outcome->error));
    }
    // Exit code 0 alone does not prove the file holds the whole database.
    if (!dump_is_complete(temporary)) {
        delete_file(temporary);
        return fail("mysqldump failed: the dump is incomplete (no \"-- Dump completed\" line)");
    }
    return {};
}

} // namespace

std::string dump_temporary_path(const std::string& target) {
    const size_t name_start = target.find_last_of("\\/") + 1; // npos + 1 == 0
    const size_t dot = target.rfind('.');
    if (dot != std::string::npos && dot > name_start) return target.substr(0, dot) + ".sql.tmp";
    return target + ".sql.tmp";
}

Result<void> backup(const std::string& target) {
    if (auto secured = secure_data_root(); !secured) return secured;
    const std::string temporary = dump_temporary_path(target);
    if (auto dumped = dump_to(temporary, target); !dumped) return dumped;
    if (!MoveFileExW(widen(temporary).c_str(), widen(target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fail(target + ": " + last_error_text());
    return {};
}

Result<std::string> backup_to_new_file(const std::string& folder, const std::string& stem) {
    const std::string temporary = join_path(folder, stem + ".sql.tmp");
    if (auto dumped = dump_to(temporary, join_path(folder, stem + ".sql")); !dumped) return fail(dumped.error());
    // A rename that never replaces: the name is free at the moment the dump takes it, whoever
    // else writes into the folder.
    for (int n = 1; n <= most_numbered_names; ++n) {
        std::string file = stem;
        if (n > 1) file.append("-").append(std::to_string(n));
        const std::string name = join_path(folder, file + ".sql");
        if (MoveFileExW(widen(temporary).c_str(), widen(name).c_str(), MOVEFILE_WRITE_THROUGH))
            return name;
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
            std::string reason = name + ": " + system_error_text(error);
            delete_file(temporary);
            return fail(reason);
        }
    }
    delete_file(temporary);
    return fail(join_path(folder, stem + ".sql") + ": no free file name");
}
