#include "svc/restore.h"

#include "base/files.h"
#include "base/handles.h"
#include "base/local_time.h"
#include "base/text.h"
#include "config/settings.h"
#include "instance/data_folder.h"
#include "instance/paths.h"
#include "svc/backup.h"
#include "svc/client.h"
#include "svc/dump_file.h"
#include "svc/dump_scope.h"
#include "svc/restore_journal.h"

#include <windows.h>

namespace {

using Failure = std::unexpected<RestoreFailure>;
using Kind = RestoreFailure::Kind;

Failure unchanged(std::string reason) {
    return Failure({.reason = std::move(reason)});
}

UniqueFile open_for_reading(const std::string& path) {
    return UniqueFile(CreateFileW(widen(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// mysql.exe for the application database; "MySQL is not running" when the server is down.
Result<ChildProcess> database_client(const ConnectionSettings& settings) {
    auto client = client_command("mysql.exe", settings.root_password);
    // A dump is data, not a script for the client: --binary-mode leaves its commands (tee,
    // source, system) unread, so no dump reads or writes files with the administrators' rights.
    if (!client) return client;
    client->arguments.push_back("--binary-mode");
    client->arguments.push_back(settings.database);
    return client;
}

// Runs the client with the open dump, read from its start, as standard input.
Result<ChildOutcome> feed(const ChildProcess& client, HANDLE dump) {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(dump, start, nullptr, FILE_BEGIN)) return fail(last_error_text());
    return run_captured(client, {.file = dump}, true);
}

// Through the safety dump's own handle: whatever lies under its name by now is not read.
Result<void> load_back(HANDLE safety, const ConnectionSettings& settings) {
    auto client = database_client(settings);
    if (!client) return fail(client.error());
    auto outcome = feed(*client, safety);
    if (!outcome) return fail(outcome.error());
    if (outcome->exit_code != 0) return fail(stderr_summary(outcome->error));
    return {};
}

// A dump that fails part-way has already dropped and recreated some tables: the safety dump
// goes back in at once, so the shop is never left with half its data. Only once it is back, and
// only when it holds the data from before every restore that was cut off, is the journal done
// with; otherwise it keeps telling which safety dump must go back in.
Failure put_back(std::string reason, const NewDump& safety, const ConnectionSettings& settings,
                 bool ends_journal) {
    RestoreFailure failure{
        .kind = Kind::put_back, .reason = std::move(reason), .safety_dump = safety.path};
    if (auto loaded = load_back(safety.file.get(), settings); !loaded) {
        failure.kind = Kind::not_put_back;
        failure.put_back_reason = loaded.error();
    } else if (ends_journal) {
        end_restore_journal();
    }
    return Failure(std::move(failure));
}

} // namespace

std::expected<std::string, RestoreFailure> restore(const std::string& source) {
    if (auto secured = secure_data_root(); !secured) return unchanged(secured.error());
    auto settings = load_settings();
    if (!settings)
        return unchanged(settings_path() + " not found (install the MySQL service first)");

    UniqueFile input = open_for_reading(source);
    if (!input) return unchanged(source + ": " + last_error_text());
    // A dump program's file without its closing line was cut short (a full disk, a copy that
    // stopped): its last statements are missing, maybe mid-table. A hand-written SQL file has no
    // such header and is taken as it is.
    if (starts_like_a_dump(input.get()) && !ends_like_a_complete_dump(input.get()))
        return Failure({.kind = Kind::incomplete_source, .reason = source});
    // A dump of other databases, or of all of them, would write where the safety dump does not
    // reach, and one with the `mysql` schema would replace the accounts whose passwords the shop
    // keeps in connection.ini.
    auto scope = read_dump_scope(input.get(), settings->database);
    if (!scope) return unchanged(source + ": " + scope.error());
    if (scope->outside)
        return Failure(
            {.kind = Kind::outside_database, .reason = *scope->outside + " in " + source});

    // Safety dumps hold the shop's data: a folder made here is readable by SYSTEM and
    // Administrators only.
    if (auto made = create_private_directories(backups_dir()); !made)
        return unchanged(made.error());
    auto safety = backup_to_new_file(backups_dir(), "before-restore_" + local_timestamp());
    if (!safety) return unchanged(safety.error());

    auto client = database_client(*settings);
    if (!client) return unchanged(client.error());
    // After a restore that was cut off, the data is only partly restored and so is this safety
    // dump: the journal keeps naming the dump from before that restore.
    const std::optional<InterruptedRestore> earlier = interrupted_restore();
    if (auto journal = begin_restore_journal(
            earlier ? *earlier : InterruptedRestore{.safety_dump = safety->path});
        !journal)
        return unchanged(journal.error());
    auto outcome = feed(*client, input.get());
    if (!outcome) return put_back(outcome.error(), *safety, *settings, !earlier);
    if (outcome->exit_code != 0)
        return put_back("restore failed: " + stderr_summary(outcome->error), *safety, *settings,
                        !earlier);
    end_restore_journal();
    return safety->path;
}
