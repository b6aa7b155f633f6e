#pragma once
// Replaces the application database with a dump, after a safety dump of the current data.
#include "base/result.h"

#include <expected>
#include <string>

// Why a restore failed, and what became of the database.
struct RestoreFailure {
    enum class Kind {
        unchanged,         // failed before the database was touched
        incomplete_source, // the source is a dump cut short: refused, nothing touched
        outside_database,  // the source changes more than the shop's database: refused
        put_back,          // the client failed part-way; the safety dump was loaded back
        not_put_back,      // the client failed and loading the safety dump back failed too
    };
    Kind kind = Kind::unchanged;
    std::string reason;          // what failed, in the words of the system or the tool; for
                                 // outside_database what the dump does and where
    std::string safety_dump;     // put_back, not_put_back: the data from before the restore
    std::string put_back_reason; // not_put_back: why loading the safety dump back failed
};

// Gives the path of the safety dump. While the database changes, restore-in-progress.ini names
// the safety dump (svc/restore_journal.h).
std::expected<std::string, RestoreFailure> restore(const std::string& source);
