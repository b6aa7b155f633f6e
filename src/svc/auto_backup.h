#pragma once
// The nightly automatic backup: a complete dump of the database into the backup folder under a
// time-stamped name, listed; the oldest listed dumps beyond the number kept removed, a copy in a
// second folder, and the outcome written down for the tray, the Setup window and --status.
#include "base/result.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A dump the automatic backup made: "<stem>_YYYYMMDD_HHMMSS.sql", or with "-2", "-3", ... before
// ".sql" when two runs fell in one second.
struct AutomaticDump {
    std::string path;
    std::string stamp; // YYYYMMDD_HHMMSS
    int number = 1;
    std::uint64_t size = 0;
};

// The file name stem for the database: characters no Windows file name may hold become "_".
std::string dump_name_stem(std::string_view database);

// Whether `name` is one of the automatic dumps of `stem`; fills in its stamp and number.
bool is_automatic_dump_name(std::string_view name, std::string_view stem, AutomaticDump& dump);

// The files of the automatic dumps' names of the database's stem in the folder, newest first by
// name. Folders, links, files of any other name and files that are not the administrators' own
// (check_trusted_file) are not listed.
std::vector<AutomaticDump> automatic_dumps(const std::string& folder, std::string_view stem);

// The whole run of --backup-auto; the outcome (the new dump, or why not) is recorded in
// backup-state.ini either way. Gives the new dump's path.
Result<std::string> backup_automatically();
