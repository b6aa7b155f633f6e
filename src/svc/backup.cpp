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

// The whole database into a new file at `temporary`, made here and now: a file planted under
// that name would lend the dump its owner and rights, so a leftover goes first. The dump tool
// writes it by name; the handle kept from its making is what is judged complete afterwards, so a
// file put in its place meanwhile never passes for the dump. Gives the file, open for reading,
// writing and renaming; on any failure the temporary file is gone. Errors about the file name
// `shown`, the file the caller asked for.
Result<UniqueFile> dump_to(const std::string& temporary, const std::string& shown) {
    auto settings = load_settings();
    if (!settings) return fail(settings_path() + " not found (install the MySQL service first)");

    auto dump = client_command("mysqldump.exe", settings->root_password);
    if (!dump) return fail(dump.error());
    // Held without touching its content (the tool opens it to write), so it shares with anyone.
    if (const bool leftover = path_exists(temporary); leftover && !delete_file(temporary))
        return fail(shown + ": the leftover temporary file " + temporary +
                    " cannot be removed: " + last_error_text());
    auto made =
        create_file_with(temporary, private_file_descriptor, READ_CONTROL | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, CREATE_NEW,
                         FILE_FLAG_OPEN_REPARSE_POINT);
    if (!made) return fail(shown + ": " + made.error());
    auto discard = [&](std::string reason) {
        UniqueFile deletable(ReOpenFile(made->get(), DELETE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
        if (deletable) delete_open_file(deletable.get());
        return fail(std::move(reason));
    };
    dump->arguments.insert(dump->arguments.end(),
                           {"--single-transaction", "--routines", "--triggers", "--events",
                            "--result-file=" + temporary, settings->database});
    const ChildWatch progress = dump_stall_watch(temporary);
    auto outcome = run_captured(*dump, {}, true, std::nullopt, &progress);
    if (!outcome) return discard(outcome.error());
    if (outcome->exit_code != 0)
        return discard("mysqldump failed: " + stderr_summary(outcome->error));
    UniqueFile file(
        ReOpenFile(made->get(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, 0));
    if (!file) return discard(shown + ": " + last_error_text());
    made->reset();
    // Exit code 0 alone does not prove the file holds the whole database.
    if (!ends_like_a_complete_dump(file.get())) {
        delete_open_file(file.get());
        return fail("mysqldump failed: the dump is incomplete (no \"-- Dump completed\" line)");
    }
    // On the disk before it takes a dump's name: after a power cut the name would otherwise
    // stand for blocks that never left the cache, in place of the complete dump it replaced.
    if (!FlushFileBuffers(file.get())) {
        std::string reason = shown + ": " + last_error_text();
        delete_open_file(file.get());
        return fail(std::move(reason));
    }
    return file;
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
    auto dumped = dump_to(dump_temporary_path(target), target);
    if (!dumped) return fail(dumped.error());
    if (!rename_open_file(dumped->get(), target, true)) {
        std::string reason = target + ": " + last_error_text();
        delete_open_file(dumped->get());
        return fail(reason);
    }
    return {};
}

Result<NewDump> backup_to_new_file(const std::string& folder, const std::string& stem) {
    auto dumped = dump_to(join_path(folder, stem + ".sql.tmp"), join_path(folder, stem + ".sql"));
    if (!dumped) return fail(dumped.error());
    // A rename that never replaces: the name is free at the moment the dump takes it, whoever
    // else writes into the folder.
    for (int n = 1; n <= most_numbered_names; ++n) {
        std::string file = stem;
        if (n > 1) file.append("-").append(std::to_string(n));
        const std::string name = join_path(folder, file + ".sql");
        if (rename_open_file(dumped->get(), name, false)) {
            // Kept for reading only, so that others may read it too (pruning tells a complete
            // dump by reading it).
            UniqueFile reading(ReOpenFile(dumped->get(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          0));
            if (!reading) return fail(name + ": " + last_error_text());
            return NewDump{name, std::move(reading)};
        }
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) {
            std::string reason = name + ": " + system_error_text(error);
            delete_open_file(dumped->get());
            return fail(reason);
        }
    }
    delete_open_file(dumped->get());
    return fail(join_path(folder, stem + ".sql") + ": no free file name");
}
