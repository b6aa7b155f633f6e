#pragma once
// The processes of this machine, found by the name of their program file, and known again by
// their id and start.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ProcessSeen {
    unsigned long id = 0;
    std::string program; // full path, or the file name alone when the path cannot be read
};

// Every process but this one whose program file has one of `file_names` (compared without
// regard to case), wherever it lies and whoever runs it.
std::vector<ProcessSeen> processes_named(const std::vector<std::string_view>& file_names);

// A process known by its id and its start: an id alone may since belong to another process.
struct ProcessMark {
    unsigned long id = 0;
    std::uint64_t started = 0; // FILETIME ticks; 0 when it could not be read
};
ProcessMark this_process();
// Whether the marked process still runs. Another account's process (an installer's as SYSTEM,
// asked by an ordinary user) cannot be looked at: it counts as running.
bool still_running(const ProcessMark& mark);
