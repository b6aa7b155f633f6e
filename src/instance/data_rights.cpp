#include "instance/data_rights.h"

#include "base/files.h"
#include "base/handles.h"
#include "base/security.h"
#include "base/text.h"
#include "instance/paths.h"

#include <windows.h>

namespace {

Result<void> repair_inside(const std::string& folder) {
    WIN32_FIND_DATAW entry{};
    UniqueFind search(FindFirstFileW(widen(join_path(folder, "*")).c_str(), &entry));
    for (bool more = static_cast<bool>(search); more; more = FindNextFileW(search.get(), &entry)) {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        // A link leads out of the data folder: whatever lies there is not the server's to own.
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        const std::string child = join_path(folder, narrow(name));
        const bool is_folder = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (auto set = write_security(child, is_folder ? private_folder_descriptor
                                                       : private_file_descriptor);
            !set)
            return set;
        if (is_folder)
            if (auto inside = repair_inside(child); !inside) return inside;
    }
    return {};
}

} // namespace

Result<void> repair_data_rights() {
    const std::string data = data_dir();
    if (is_link(data)) return fail(data + " is a link");
    if (auto set = write_security(data, private_folder_descriptor); !set) return set;
    return repair_inside(data);
}
