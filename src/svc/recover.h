#pragma once
// A database whose files are damaged beyond starting, rebuilt from a backup: the damaged folder
// kept aside, a fresh one made with the stored passwords and account, the dump restored into it.
#include "base/result.h"

#include <cstddef>
#include <optional>
#include <string>

struct RecoveryDump {
    std::string path;
    std::string time; // local, "YYYY-MM-DD HH:MM": what was entered after it is lost
};

struct Recovery {
    RecoveryDump dump;
    std::string damaged; // where the damaged data folder goes, or already is
    // A rebuild that was cut off is finished: its damaged folder stays as it is, and the new
    // data folder is completed and gets the dump.
    bool resumes = false;
    std::string started; // of the rebuild that was cut off
};

// The rebuild to ask about. The dump: the one given, or else the dump of a rebuild that was cut
// off (never another: a newer one may hold the empty database), or else the newest complete one
// among the automatic backups and the operator's last backup; fails, changing nothing, when there
// is none. The damaged folder: the cut-off rebuild's, or else data.damaged-<now> beside the data
// folder.
Result<Recovery> plan_recovery(const std::optional<std::string>& file);

struct Recovered {
    std::string damaged; // the folder that holds the damaged files
    long long seconds = 0;
    std::size_t tables = 0; // that the dump makes
};

// Keeps the data folder as `damaged` (never deleted), initializes a new one with connection.ini's
// root password and account, starts the server and restores the dump through the normal restore.
// The rebuild's journal names it from before the data folder moves until the dump is in. A failure
// once the data folder has moved says where each folder is and how to go back.
Result<Recovered> recover(const Recovery& recovery);

// Whether a rebuild can be offered: a complete dump exists (without reading more than the
// dumps' last lines).
bool recovery_possible();
