#pragma once
// Where this program and the system's own programs lie, asked of Windows each time.
#include "base/result.h"

#include <string>
#include <string_view>

// Full path of the running executable, or the system's description of why it is unknown.
Result<std::string> executable_path();

// A Windows tool in the system folder (netsh, schtasks, icacls), by its full path: an elevated
// process must never pick up a program of the same name from the caller's current folder.
std::string system_tool_path(std::string_view name);
// A program of the Windows folder (notepad.exe), by its full path, for the same reason.
std::string windows_program_path(std::string_view file_name);
