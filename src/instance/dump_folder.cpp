#include "instance/dump_folder.h"

#include "base/files.h"
#include "base/fill_in.h"
#include "base/security.h"
#include "base/text.h"
#include "i18n/tr.h"
#include "instance/trust.h"

#include <windows.h>

namespace {

constexpr DWORD volume_name_size = MAX_PATH + 1;

// "NTFS", "FAT32", "exFAT", ... of the drive the folder lies on; empty when it cannot be told.
std::wstring file_system_of(const std::string& folder) {
    wchar_t volume[volume_name_size] = {};
    wchar_t file_system[volume_name_size] = {};
    if (!GetVolumePathNameW(widen(folder).c_str(), volume, volume_name_size) ||
        !GetVolumeInformationW(volume, nullptr, 0, nullptr, nullptr, nullptr, file_system,
                               volume_name_size))
        return {};
    return file_system;
}

bool keeps_no_rights(const std::string& folder) {
    if (folder.starts_with("\\\\")) return true;
    const std::string drive = folder.substr(0, 3);
    if (GetDriveTypeW(widen(drive).c_str()) == DRIVE_REMOTE) return true;
    return file_system_of(folder).find(L"FAT") != std::wstring::npos;
}

// The folder itself and every folder above it up to the drive.
bool leads_through_a_link(const std::string& folder) {
    for (std::string step = folder; step.size() > 3; step = parent_path(step))
        if (is_link(step)) return true;
    return false;
}

bool only_administrators_change(const std::string& folder) {
    UniqueFile file = open_itself(folder, READ_CONTROL);
    if (!file) return false;
    auto found = read_security(file.get());
    return found && judge(Place::program_folder, *found, administrator_user()) == Verdict::trusted;
}

} // namespace

std::string rights_warning(const std::string& folder) {
    if (folder.size() < 3 || !keeps_no_rights(folder)) return {};
    return fill_in(tr("%1 is on a network share or a FAT drive, where files have no access "
                      "rights: whoever reaches that place can read the backups there.",
                      "%1 位于网络共享或 FAT "
                      "磁盘上，那里的文件没有访问权限：能访问该位置的人都能读取其中的备份。"),
                   {folder});
}

Result<std::string> check_dump_folder(const std::string& folder) {
    if (std::string warning = rights_warning(folder); !warning.empty()) return warning;
    if (leads_through_a_link(folder))
        return fail(fill_in(tr("%1 is a link to another place; choose the folder itself.",
                               "%1 是指向其它位置的链接；请选择文件夹本身。"),
                            {folder}));
    if (!only_administrators_change(folder))
        return fail(fill_in(tr("%1 can be changed by users who are not administrators; choose "
                               "a folder that only administrators can change.",
                               "非管理员用户可以更改 %1；请选择只有管理员才能更改的文件夹。"),
                            {folder}));
    return std::string();
}
