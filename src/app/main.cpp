// KELTA Retail MySQL: provisions, runs and looks after the shop's private MySQL 5.7 server.
#include "app/modes.h"
#include "base/cmdline.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return run_command_line(split_arguments(GetCommandLineW()), real_elevation());
}
