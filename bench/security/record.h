#pragma once
// Owners and access lists that Wine cannot keep, kept by the bench instead for the files and
// folders a test lists, in C:\kelta-bench\state\security.txt: one line each, the file's identity
// (volume serial and file index, which a rename keeps), a tab, its descriptor in SDDL
// ("O:<owner>D:<list>"), a tab and the path it had when it was listed.
#include "base/security.h"

#include <optional>
#include <string>

namespace bench_security {

// "<volume serial>-<file index>" in hex; empty when the file or folder cannot be opened.
std::string file_identity(const std::string& path);

// The descriptor kept for the file, when it is listed.
std::optional<std::string> recorded(const std::string& path);

// Lists the file with the descriptor, or replaces the one kept for it.
void record(const std::string& path, const std::string& descriptor);

// The program's security calls with the record in front: a listed file is read from it, and what
// the program sets on a listed file is kept there; everything else goes through Windows.
SecurityCalls recording_security_calls();

} // namespace bench_security
