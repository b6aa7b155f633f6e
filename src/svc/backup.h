#pragma once
// A complete SQL dump of the application database into one file.
#include "base/result.h"

#include <string>

// The dump goes to a temporary file beside the target and replaces the target in one step only
// once it is complete, so the old or the new complete dump is there at every moment.
Result<void> backup(const std::string& target);

// The same into a new file in `folder`: `stem` + ".sql", or with "-2", "-3", ... before ".sql"
// when that name is taken. Never replaces a file; gives the path of the new one.
Result<std::string> backup_to_new_file(const std::string& folder, const std::string& stem);

// The temporary name: the target with its extension set to "sql.tmp" (backup.sql and backup
// give backup.sql.tmp, data.dump gives data.sql.tmp).
std::string dump_temporary_path(const std::string& target);
