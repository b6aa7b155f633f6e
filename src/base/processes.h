#pragma once
// The processes of this machine, found by the name of their program file.
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
