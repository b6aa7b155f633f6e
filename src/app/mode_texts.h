#pragma once
// The texts that --backup and --restore (and the Setup window's jobs) show, in the current
// language.
#include "svc/restore.h"

#include <string>
#include <string_view>

// "Backup done:", a line break and the file.
std::string backup_done_text(std::string_view file);

// "Restore done. Data before the restore was saved to:", a line break and the safety copy.
std::string restore_done_text(std::string_view safety_copy);

// What failed and what became of the database: refused before anything changed, put back from
// the safety dump, or (when that failed too) the safety dump to restore by hand.
std::string restore_failed_text(const RestoreFailure& failure);
