#pragma once
// rebuild-in-progress.ini in the data root: written before a rebuild sets the damaged data
// directory aside, deleted once the backup is restored into the new one. Left behind (the program
// killed, a power cut, a step that failed) it tells that MySQL may be running on a new, empty
// database, where the damaged files are kept and which dump finishes the rebuild. Private to the
// administrators: nobody else can plant one or hold it open.
#include "base/result.h"

#include <optional>
#include <string>

struct InterruptedRecovery {
    std::string dump;      // the backup the rebuild restores
    std::string dump_time; // local, "YYYY-MM-DD HH:MM"
    std::string damaged;   // the folder that holds the damaged data directory
    std::string started;   // local time, YYYY-MM-DD HH:MM:SS
};

// Names the rebuild, its start (now, when not given) and this process, which is then working on it;
// replaced in one step and flushed.
Result<void> begin_recovery_journal(const InterruptedRecovery& recovery);
// The same naming no process: a step failed, and the rebuild is told as unfinished at once, also
// while the process that ran it (a Setup window) stays open.
Result<void> leave_recovery_journal(const InterruptedRecovery& recovery);
Result<void> end_recovery_journal();

// The journal of a rebuild whose process has gone. Nothing when there is none, while its rebuild
// still runs, or when the damaged folder it names is not a data.damaged-<time> beside the data
// directory any more (put back by hand).
std::optional<InterruptedRecovery> interrupted_recovery();
