#pragma once
// restore-in-progress.ini in the data root: written before a restore changes the database,
// deleted once the restore or its putting back has finished. Left behind, it tells that a restore
// was cut off (the program killed, a power cut) and names the safety dump that puts the data
// back. Private to the administrators: a journal that others could read, they could also hold
// open, and one kept past its restore would urge putting old data back.
#include "base/result.h"

#include <optional>
#include <string>

struct InterruptedRestore {
    std::string safety_dump;
    std::string started; // local time, YYYY-MM-DD HH:MM:SS
};

// Names the restore's safety dump, its start (now, when not given) and this process; replaced in
// one step and flushed.
Result<void> begin_restore_journal(const InterruptedRestore& restore);
void end_restore_journal();

// The journal of a restore whose process has gone. Nothing when there is none, while its restore
// still runs, or when it names no safety dump of the safety folder.
std::optional<InterruptedRestore> interrupted_restore();
