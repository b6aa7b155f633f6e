#pragma once
// Hands a file, a folder or a program to the Windows shell, as a double click would.
#include <optional>
#include <string>

// ShellExecuteW with the verb "open" and SW_SHOWNORMAL. Whether it worked is not looked at:
// Explorer and the programs it starts report their own failures (a missing folder or file).
void shell_open(const std::string& file, const std::optional<std::string>& parameters = {});
