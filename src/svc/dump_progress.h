#pragma once
// A dump that has stopped making progress: its file has not grown for a long while. A server
// that hangs (on a lock, on a disk or share that stopped answering) must not keep the dump, and
// with it the machine-wide operation lock, waiting all night.
#include "base/child.h"

#include <chrono>
#include <string>

// How long a dump's file may stand still before the dump is ended: far beyond any pause of a
// working server. A test seam shortens it.
inline std::chrono::seconds dump_stall_limit{std::chrono::minutes(15)};

// The watch over a dump into `file`: stalled once the file's size has not changed for
// dump_stall_limit; the reason is "the dump stopped making progress".
ChildWatch dump_stall_watch(const std::string& file);
