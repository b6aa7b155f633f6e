#include "instance/program_folder.h"

#include "base/files.h"
#include "base/fill_in.h"
#include "base/security.h"
#include "base/text.h"
#include "i18n/tr.h"
#include "instance/paths.h"
#include "instance/trust.h"

#include <windows.h>

#include <vector>

namespace {

// The folder a program is started from, links followed: its rights are what count.
bool only_administrators_change(const std::string& folder, const std::string& administrator) {
    UniqueFile file(CreateFileW(widen(folder).c_str(), READ_CONTROL,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return false;
    auto found = read_security(file.get());
    return found && judge(Place::program_folder, *found, administrator) == Verdict::trusted;
}

} // namespace

Result<void> check_program_folder() {
    const std::string administrator = administrator_user();
    // Without its own folder the program would start MySQL programs from the current folder.
    std::vector<std::string> folders{program_dir()};
    if (!folders.front().empty())
        for (const std::string& inside : {base_dir(), join_path(base_dir(), "bin")})
            if (is_directory(inside)) folders.push_back(inside);
    for (const std::string& folder : folders) {
        if (!folder.empty() && only_administrators_change(folder, administrator)) continue;
        return fail(fill_in(tr("KELTA Retail MySQL must run from a folder that only "
                               "administrators can change: %1",
                               "KELTA Retail MySQL 必须从只有管理员才能更改的文件夹运行：%1"),
                            {folder}));
    }
    return {};
}
