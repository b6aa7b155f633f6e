// KeltaMySQL.exe with the owners and access lists of the files and folders a test listed taken
// from the bench (bench/security): Wine reads every file back as its own user's, so a file
// planted by an ordinary user can only be told apart this way. What the program sets on a listed
// file is kept there too; everything else is read and set through Windows as usual.
#include "app/modes.h"
#include "base/cmdline.h"
#include "base/security.h"
#include "record.h"

#include <windows.h>

namespace {

Result<FileSecurity> recorded_read(const std::string& path) {
    auto descriptor = bench_security::recorded(path);
    if (!descriptor) return system_security_calls().read(path);
    const size_t list = descriptor->find("D:");
    return FileSecurity{.owner = descriptor->substr(2, list - 2),
                        .access = descriptor->substr(list)};
}

Result<void> recorded_write(const std::string& path, std::string_view descriptor) {
    auto written = system_security_calls().write(path, descriptor);
    if (written && bench_security::recorded(path))
        bench_security::record(path, std::string(descriptor));
    return written;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    replace_security_calls({recorded_read, recorded_write});
    return run_command_line(split_arguments(GetCommandLineW()), real_elevation());
}
