#include "app/activity_log.h"

#include "base/files.h"
#include "base/handles.h"
#include "base/local_time.h"
#include "base/text.h"
#include "svc/paths.h"

#include <windows.h>

namespace {

void append_entry(std::string_view mode, std::string_view separator, std::string_view text) {
    (void)create_directories(data_root());
    UniqueFile file(CreateFileW(widen(activity_log_path()).c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    std::string entry = local_timestamp() + " " + std::string(mode) + std::string(separator) +
                        std::string(text) + "\n";
    DWORD written = 0;
    WriteFile(file.get(), entry.data(), static_cast<DWORD>(entry.size()), &written, nullptr);
}

} // namespace

void log_mode_failure(std::string_view mode, std::string_view text) {
    append_entry(mode, " failed: ", text);
}

void log_mode_warning(std::string_view mode, std::string_view text) {
    append_entry(mode, ": ", text);
}
