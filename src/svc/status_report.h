#pragma once
// --status: what installers and monitoring tools ask about the instance, read without changing
// anything and without administrator rights, written as one JSON object or as aligned
// "key: value" lines for a person.
#include "svc/clients.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

struct ReportField {
    std::string key;
    using Value = std::variant<std::monostate, bool, std::uint64_t, std::string,
                               std::vector<ConnectedClient>>;
    // Nothing when it cannot be known (not installed, not readable without administrator rights).
    Value value;
};
using StatusReport = std::vector<ReportField>;

// The report's JSON object on one line; texts are escaped, nothing is null that is known. The
// clients are an array of {"address", "name", "connections"}, the name null when none is known.
std::string report_json(const StatusReport& report);
// "key:   value" lines with the values in one column; unknown is "-", booleans yes and no, the
// clients "name (address): connections" separated by commas, or "none".
std::string report_text(const StatusReport& report);

// The report as --status gathers it.
StatusReport status_report();

struct StatusRequest {
    bool as_text = false;
    // --out: the file to write instead of standard output; empty when the option has no value.
    std::optional<std::string> out_file;
    // Only an elevated process may see the SYSTEM tasks: for any other a failed query of them
    // tells nothing.
    bool elevated = false;
};

// --status [--text] [--out <file>]: writes the report and gives the exit code: 0 running and
// accepting connections, 3 not installed, 4 stopped, 5 starting or running but not accepting,
// 1 when the state could not be asked. The code is the state's whatever becomes of the report:
// a report that cannot be written is told in tray.log.
int run_status(const StatusRequest& request);
