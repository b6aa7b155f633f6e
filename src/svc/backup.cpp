#include "svc/backup.h"

#include "base/files.h"
#include "base/handles.h"
#include "base/security.h"
#include "base/text.h"
#include "config/settings.h"
#include "svc/client.h"
#include "svc/data_folder.h"
#include "svc/paths.h"

#include <windows.h>

namespace {

// mysqldump ends every complete dump with this comment line.
constexpr std::string_view dump_completed_mark = "-- Dump completed";
constexpr LONGLONG dump_tail_bytes = 4096;

bool dump_is_complete(const std::string& path) {
    UniqueFile file(CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size)) return false;
    LARGE_INTEGER start{.QuadPart = std::max<LONGLONG>(0, size.QuadPart - dump_tail_bytes)};
    if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) return false;
    std::string tail(static_cast<size_t>(size.QuadPart - start.QuadPart), '\0');
    DWORD got = 0;
    if (!ReadFile(file.get(), tail.data(), static_cast<DWORD>(tail.size()), &got, nullptr)) return false;
    tail.resize(got);
    return tail.find(dump_completed_mark) != std::string::npos;
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
    auto settings = load_settings();
    if (!settings) return fail(settings_path() + " not found (install the MySQL service first)");
    const std::string temporary = dump_temporary_path(target);

    auto dump = client_command("mysqldump.exe", settings->root_password);
    if (!dump) return fail(dump.error());
    // mysqldump writes into a file made here and now, owned by the Administrators group with the
    // rights of its folder: a file planted under the temporary name would lend the whole
    // database its owner and rights.
    if (auto made = create_fresh_file(temporary, admin_owned_descriptor, GENERIC_WRITE); !made)
        return fail(target + ": " + made.error());
    dump->arguments.insert(dump->arguments.end(),
                           {"--single-transaction", "--routines", "--triggers", "--events",
                            "--result-file=" + temporary, settings->database});
    auto outcome = run_captured(*dump, {}, true);
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
    if (!MoveFileExW(widen(temporary).c_str(), widen(target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fail(target + ": " + last_error_text());
    return {};
}
