#pragma once
// What a failed start leaves for the operator: the diagnosis gathered from error.log and the
// machine, told with the failure and kept beside the data until the next start, so that the
// Overview and --status can show it.
#include "base/result.h"
#include "svc/diagnosis.h"
#include "svc/port_holder.h"

#include <cstdint>
#include <optional>
#include <string>

// Where this start's lines will begin in error.log: its size now.
std::uint64_t error_log_mark();

// The diagnosis of the start whose lines begin at the mark, or nothing when they name no error.
std::optional<Diagnosis> diagnose_start(std::uint64_t mark);

// Before a start: the configured port must not be held by another program. A holder that is
// still there after a moment (a server that just stopped lets go late) fails the start with the
// port message, which is kept like any diagnosis.
Result<void> port_is_free();

// The port message: the port and the program holding it, when it can be named.
Diagnosis port_diagnosis(std::uint16_t port, const std::optional<PortHolder>& holder);

// The failure as the operator sees it: the diagnosis in the current language, then the
// technical text on a line of its own.
std::string failure_text(const Diagnosis& diagnosis, const std::string& technical);

void store_diagnosis(const Diagnosis& diagnosis);
void clear_diagnosis();
std::optional<Diagnosis> stored_diagnosis();
