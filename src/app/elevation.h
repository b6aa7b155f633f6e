#pragma once
// Work that needs an administrator runs in a second copy of this executable, started through
// the shell with the elevation verb.
#include "base/result.h"

#include <string>

bool is_elevated();

// Starts this executable with the parameters ("runas" when not elevated, "open" when elevated)
// and, with `wait`, waits for it and gives its exit code (0 without `wait`).
// A declined prompt or a failed start is "administrator permission was not granted".
Result<unsigned long> run_elevated(const std::string& parameters, bool wait);
// The same for a given program, so that the failure path can be reached in tests.
Result<unsigned long> run_elevated_program(const std::string& program,
                                           const std::string& parameters, bool wait);
