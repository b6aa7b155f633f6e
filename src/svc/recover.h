#pragma once
// A database whose files are damaged beyond starting, rebuilt from a backup: the damaged folder
// kept aside, a fresh one made with the stored passwords and account, the dump restored into it.
#include "base/result.h"

#include <optional>
#include <string>

struct RecoveryDump {
    std::string path;
    std::string time; // local, "YYYY-MM-DD HH:MM": what was entered after it is lost
};

// The dump given, or else the newest complete one among the automatic backups and the operator's
// last backup; fails, changing nothing, when there is none.
Result<RecoveryDump> recovery_dump(const std::optional<std::string>& file);

// Where the damaged data goes: data.damaged-<stamp> beside the data folder.
std::string damaged_data_path(const std::string& stamp);

struct Recovered {
    std::string damaged; // the folder that holds the damaged files
    long long seconds = 0;
};

// Keeps the data folder as `damaged` (never deleted), initializes a new one with connection.ini's
// root password and account, starts the server and restores the dump through the normal restore.
// A failure once the data folder has moved says where each folder is and how to go back.
Result<Recovered> recover(const RecoveryDump& dump, const std::string& damaged);

// Whether a rebuild can be offered: a complete dump exists (without reading more than the
// dumps' last lines).
bool recovery_possible();
