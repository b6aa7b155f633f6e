#include "svc/server_upgrade.h"

#include "base/child.h"
#include "base/files.h"
#include "base/text.h"
#include "instance/paths.h"
#include "instance/tray_log.h"
#include "svc/client.h"
#include "svc/control.h"

#include <windows.h>

#include <cctype>
#include <vector>

namespace {

// MySQL's own record in the data folder of the version mysql_upgrade last ran with.
std::string upgrade_info_path() {
    return join_path(data_dir(), "mysql_upgrade_info");
}

// "5.7.29" from "5.7.29" or "5.7.29-log\0": the digits and dots it starts with.
std::string version_part(std::string_view text) {
    size_t end = 0;
    while (end < text.size() &&
           (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '.'))
        ++end;
    return std::string(text.substr(0, end));
}

std::string upgraded_version() {
    auto info = read_file(upgrade_info_path());
    return info ? version_part(*info) : std::string();
}

} // namespace

std::optional<std::string> server_version() {
    const std::wstring program = widen(mysql_program_path("mysqld.exe"));
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<std::byte> block(size);
    if (!GetFileVersionInfoW(program.c_str(), 0, size, block.data())) return std::nullopt;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        length < sizeof *fixed)
        return std::nullopt;
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS));
}

void mark_data_upgraded() {
    if (auto version = server_version()) (void)write_file(upgrade_info_path(), *version);
}

Result<void> upgrade_server_data(const std::string& root_password) {
    const auto version = server_version();
    if (!version) return {}; // a server that does not say its version cannot be compared
    const std::string before = upgraded_version();
    if (before == *version) return {};

    const std::string versions = "the data folder was last upgraded with " +
                                 (before.empty() ? std::string("an unknown version") : before) +
                                 ", the server is " + *version;
    // A copy of the program made by hand may lack the tool (the package never does): the server
    // runs all the same, and tray.log says what was left undone.
    if (!path_exists(mysql_program_path("mysql_upgrade.exe"))) {
        append_tray_log("--install could not run mysql_upgrade, which is missing: " + versions,
                        true);
        return {};
    }
    auto tool = client_command("mysql_upgrade.exe", root_password);
    if (!tool) return fail("mysql_upgrade failed: " + tool.error());
    auto outcome = run_captured(*tool, {}, false, server_upgrade_time_limit);
    if (!outcome) return fail("mysql_upgrade failed: " + outcome.error());
    if (outcome->exit_code != 0) {
        const std::string lines = stderr_summary(outcome->error);
        return fail("mysql_upgrade failed: " +
                    (lines.empty() ? exit_code_text(outcome->exit_code) : lines));
    }
    append_tray_log("--install ran mysql_upgrade: " + versions, true);
    // mysql_upgrade writes the file itself; written here as well, the next install finds it
    // whatever the tool's build does.
    mark_data_upgraded();
    // The upgraded system tables take effect with the server's next start.
    return restart_service();
}
