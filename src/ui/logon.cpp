#include "ui/logon.h"

#include "base/registry.h"
#include "base/system_paths.h"

namespace {

constexpr std::string_view run_key = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr std::string_view run_value = "KELTA Retail MySQL";

} // namespace

bool is_run_at_logon() {
    return string_value_exists(HKEY_CURRENT_USER, run_key, run_value);
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
    return {};
}
