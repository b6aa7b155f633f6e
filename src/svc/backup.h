#pragma once
// A complete SQL dump of the application database into one file.
#include "base/handles.h"
#include "base/result.h"

#include <string>

// The dump goes to a temporary file beside the target and replaces the target in one step only
// once it is complete, so the old or the new complete dump is there at every moment. The file
// holds the whole shop: it is made by this program with a list of its own (SYSTEM and the
// Administrators group), never with the rights of the folder, and it is checked and renamed
// through the handle that made it, never found again by its name.
Result<void> backup(const std::string& target);

// A dump made by backup_to_new_file: its path, and the file still open (for reading) to go on
// with, rather than opening whatever carries that name later.
struct NewDump {
    std::string path;
    UniqueFile file;
};

// The same into a new file in `folder`: `stem` + ".sql", or with "-2", "-3", ... before ".sql"
// when that name is taken. Never replaces a file.
Result<NewDump> backup_to_new_file(const std::string& folder, const std::string& stem);

// The temporary name: the target with its extension set to "sql.tmp" (backup.sql and backup
// give backup.sql.tmp, data.dump gives data.sql.tmp).
std::string dump_temporary_path(const std::string& target);
