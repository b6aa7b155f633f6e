#pragma once
// The information texts that --backup and --restore show on success, in the current language.
#include <string>
#include <string_view>

// "Backup done:", a line break and the file.
std::string backup_done_text(std::string_view file);

// "Restore done. Data before the restore was saved to:", a line break and the safety copy.
std::string restore_done_text(std::string_view safety_copy);
