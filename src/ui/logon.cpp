#include "ui/logon.h"

#include "base/registry.h"
#include "base/system_paths.h"

namespace {

constexpr std::string_view run_key = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr std::string_view run_value = "KELTA Retail MySQL";
// The package's choice for every user, which its repairs and upgrades keep (TRAY).
constexpr std::string_view package_tray_choice = "TrayAtLogon";

// The package starts the tray at every user's logon from the machine's Run key. Switched off
// here (the General page runs elevated), it stays off for everyone, also after a repair or an
// upgrade of the package.
Result<void> stop_tray_for_every_user() {
    if (!string_value_exists(HKEY_LOCAL_MACHINE, run_key, run_value)) return {};
    UniqueKey run = create_key_for_values(HKEY_LOCAL_MACHINE, run_key);
    UniqueKey choice = create_key_for_values(HKEY_LOCAL_MACHINE, program_key);
    if (!run || !choice) return fail("cannot open the Run registry key");
    unsigned long status = write_string(choice.get(), package_tray_choice, "0");
    if (status == ERROR_SUCCESS) status = delete_value(run.get(), run_value);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        return fail(registry_error_text(status));
    return {};
}

} // namespace

bool is_run_at_logon() {
    return string_value_exists(HKEY_CURRENT_USER, run_key, run_value) ||
           string_value_exists(HKEY_LOCAL_MACHINE, run_key, run_value);
}

Result<void> set_run_at_logon(bool on) {
    UniqueKey key = create_key_for_values(HKEY_CURRENT_USER, run_key);
    if (!key) return fail("cannot open the Run registry key");
    unsigned long status;
    if (on) {
        auto exe = executable_path();
        if (!exe) return fail(exe.error());
        // Quoted, so that a path with blanks (Program Files) starts as one program.
        status = write_string(key.get(), run_value, "\"" + *exe + "\"");
    } else {
        status = delete_value(key.get(), run_value);
        if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
    }
    if (status != ERROR_SUCCESS) return fail(registry_error_text(status));
    if (!on) return stop_tray_for_every_user();
    return {};
}
