#pragma once
// The standard folder picker of the Setup window, for the automatic backup's folders.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

// Asks for a folder of the file system, opened at `initial` when it exists. Gives its full path,
// or nothing when the operator cancelled.
std::optional<std::string> folder_dialog(HWND owner, std::string_view title,
                                         const std::string& initial);
