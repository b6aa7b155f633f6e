#include "jobs/activity_log.h"

#include "base/elevation.h"
#include "instance/tray_log.h"

#include <string>

void log_mode_failure(std::string_view mode, std::string_view text, bool elevated) {
    append_tray_log(std::string(mode) + " failed: " + std::string(text), elevated);
}

void log_mode_warning(std::string_view mode, std::string_view text) {
    append_tray_log(std::string(mode) + ": " + std::string(text), is_elevated());
}

void log_mode_note(std::string_view mode, std::string_view text) {
    append_tray_log(std::string(mode) + " " + std::string(text), is_elevated());
}
