#include "instance/tray_log.h"

#include "base/local_time.h"
#include "base/security.h"
#include "instance/data_folder.h"
#include "instance/paths.h"

#include <windows.h>

void append_tray_log(std::string_view entry, bool may_create) {
    if (may_create) (void)make_data_root();
    auto file =
        create_file_with(activity_log_path(), readable_file_descriptor, FILE_APPEND_DATA,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         may_create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
    if (!file) return;
    // A link or a second name planted under the log's name would carry the entry into another
    // file, written with this process's rights.
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file->get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || info.nNumberOfLinks > 1)
        return;
    const std::string line = local_timestamp() + " " + std::string(entry) + "\n";
    DWORD written = 0;
    WriteFile(file->get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}
