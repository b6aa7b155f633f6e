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

// After a start that failed without a word in error.log: whether mysqld.exe can run on this
// computer at all (a missing DLL, a program for another Windows), asked of the program itself.
std::optional<Diagnosis> program_cannot_run();
// The diagnosis of a MySQL program that ended with the exit status, when that says it could not
// run at all.
std::optional<Diagnosis> cannot_run_diagnosis(unsigned long exit_status);

// Kept with the time of the failure, unless it has one already.
void store_diagnosis(Diagnosis diagnosis);
void clear_diagnosis();
std::optional<Diagnosis> stored_diagnosis();

// The stored diagnosis while it still tells why the server is down: not while the server runs,
// nor once error.log shows it ready for connections after the failure, however it was started
// (by Windows at boot, from the Services console) and whether or not it has stopped since.
std::optional<Diagnosis> current_diagnosis(bool server_running);

// The local time of the failed start, "2026-03-01 18:45:02"; empty when the diagnosis has none.
std::string diagnosis_local_time(const Diagnosis& diagnosis);
// The diagnosis in the language with the time of the failed start in front, for the Overview.
std::string dated_diagnosis_text(const Diagnosis& diagnosis, Lang lang);
