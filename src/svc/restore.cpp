#include "svc/restore.h"

#include "base/files.h"
#include "base/handles.h"
#include "base/local_time.h"
#include "base/text.h"
#include "config/settings.h"
#include "svc/backup.h"
#include "svc/client.h"
#include "svc/data_folder.h"
#include "svc/paths.h"

#include <windows.h>

Result<std::string> restore(const std::string& source) {
    if (auto secured = secure_data_root(); !secured) return fail(secured.error());
    auto settings = load_settings();
    if (!settings) return fail(settings_path() + " not found (install the MySQL service first)");

    UniqueFile input(CreateFileW(widen(source).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!input) return fail(source + ": " + last_error_text());

    // Safety dumps hold the shop's data: a folder made here is readable by SYSTEM and
    // Administrators only.
    if (auto made = create_private_directories(backups_dir()); !made)
        return fail(made.error());
    const std::string safety = join_path(backups_dir(), "before-restore_" + local_timestamp() + ".sql");
    if (auto saved = backup(safety); !saved) return fail(saved.error());

    auto client = client_command("mysql.exe", settings->root_password);
    if (!client) return fail(client.error());
    client->arguments.push_back(settings->database);
    auto outcome = run_captured(*client, {.file = input.get()}, true);
    if (!outcome) return fail(outcome.error());
    if (outcome->exit_code != 0)
        return fail("restore failed: " + stderr_summary(outcome->error) +
                    "\n(data before the restore: " + safety + ")");
    return safety;
}
