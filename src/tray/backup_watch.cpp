#include "tray/backup_watch.h"

#include "base/text.h"
#include "i18n/language.h"
#include "instance/paths.h"
#include "svc/backup_settings.h"
#include "tray/notify.h"

namespace {

// The last write time of the file, zero when it is missing.
FILETIME written_at(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data)) return {};
    return data.ftLastWriteTime;
}

bool same_time(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

} // namespace

std::string watch_automatic_backup(HWND window, BackupWatch& watch) {
    const FILETIME state = written_at(backup_state_path());
    if (!same_time(state, watch.state_written)) {
        watch.state_written = state;
        watch.run = load_backup_run();
    }
    const FILETIME settings = written_at(backup_settings_path());
    if (!same_time(settings, watch.settings_written)) {
        watch.settings_written = settings;
        watch.enabled = load_backup_settings().enabled;
    }
    // Before the first run there is nothing to judge; switched off, nothing to warn of.
    if (!watch.run || !watch.enabled) return {};
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::optional<BackupWarning> warning = backup_warning(*watch.run, now);
    if (!warning) return {};
    const ULONGLONG tick = GetTickCount64();
    std::string text = backup_warning_text(*warning, current_language());
    if (!watch.warned_at || text != watch.warned ||
        tick - *watch.warned_at >= backup_balloon_interval_ms) {
        // Not shown (no icon yet): tried again at the next refresh.
        if (show_balloon(window, text, true)) {
            watch.warned_at = tick;
            watch.warned = std::move(text);
        }
    }
    return backup_warning_short_text(*warning);
}
