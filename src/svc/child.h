#pragma once
// The only ways this program starts other programs: hidden (CREATE_NO_WINDOW), waited for
// without a time limit, judged by the exit code, every failure turned into one text.
#include "base/result.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using HANDLE = void*;

// A child prepared but not started: program, arguments, variables added to the inherited
// environment.
struct ChildProcess {
    std::string program;
    std::vector<std::string> arguments;
    std::vector<std::pair<std::string, std::string>> extra_environment;
};

// Standard input of a captured run: the null device, an open file, or a text written into a pipe.
struct ChildInput {
    HANDLE file = nullptr;
    std::optional<std::string_view> text;
};

struct ChildOutcome {
    unsigned long exit_code = 0;
    std::string output; // empty when output was discarded
    std::string error;
};

// Runs the program with inherited streams. Exit code 0 is success; any other gives
// "exit code Some(N)"; a start or wait failure gives the system's description.
Result<void> run_hidden(const std::string& program, const std::vector<std::string>& arguments);

// Runs the child to completion with standard error captured and standard output captured or
// discarded; both pipes are drained while the child runs, so a child that writes a lot to both
// never blocks. The result carries the exit code; only start, write and wait failures are errors
// (the system's description).
Result<ChildOutcome> run_captured(const ChildProcess& child, const ChildInput& input,
                                  bool capture_output);

// "exit code Some(N)" with N as a signed 32-bit number.
std::string exit_code_text(unsigned long code);

// The last five meaningful lines of a child's error output (the password warning dropped).
std::string stderr_summary(std::string_view bytes);
