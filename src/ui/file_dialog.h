#pragma once
// The standard Save and Open dialogs of the Setup window: SQL backup files, and the support file.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

// "SQL backup (*.sql)", "*.sql", "All files (*.*)", "*.*", each ended by a NUL, and a second
// NUL that ends the list; the names translated.
std::wstring file_dialog_filter();

// Asks for a file to save to (an existing one only after the overwrite question) or an existing
// file to open. Gives the chosen full path, or nothing when the operator cancelled.
std::optional<std::string> file_dialog(HWND owner, bool save, std::string_view initial_name);

// Asks where to save the support file ("Support file (*.zip)"; ".zip" added to a bare name).
std::optional<std::string> support_file_dialog(HWND owner, std::string_view initial_name);
