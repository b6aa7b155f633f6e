#pragma once
// The only ways this program starts other programs: hidden (CREATE_NO_WINDOW), inside a job that
// ends them when this program ends, waited for within a limit, judged by the exit code, every
// failure turned into one text.
#include "base/result.h"

#include <chrono>
#include <functional>
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

// How long a Windows tool (netsh, schtasks, icacls) may take: each answers in well under a second,
// so one that is still running after a minute hangs.
inline constexpr std::chrono::seconds tool_time_limit{60};

// Asked every `every` while a child runs: when `stalled` says so, the child is ended and the run
// fails with `reason`. For children whose work shows (a file that grows) but whose whole length
// cannot be known in advance.
struct ChildWatch {
    std::chrono::milliseconds every{1000};
    std::function<bool()> stalled;
    std::string reason;
};

struct ChildOutcome {
    unsigned long exit_code = 0;
    std::string output; // empty when output was discarded
    std::string error;
};

// Runs the program with inherited streams and gives its exit code. A start or wait failure
// gives the system's description; a program still running after `limit` is ended and gives
// "<program> did not finish within N s".
Result<unsigned long> run_hidden_to_exit(const std::string& program,
                                         const std::vector<std::string>& arguments,
                                         std::chrono::seconds limit = tool_time_limit);

// netsh and schtasks end with 1 when they find nothing of the name asked for; anything else
// (another code, a tool that did not start or hung) leaves the answer open.
std::optional<bool> tool_found(const Result<unsigned long>& exit_code);
// The same, judged by the exit code: 0 is success, any other gives "exit code Some(N)".
Result<void> run_hidden(const std::string& program, const std::vector<std::string>& arguments,
                        std::chrono::seconds limit = tool_time_limit);

// Runs the child to completion with standard error captured and standard output captured or
// discarded; both pipes are drained and the input is written while the child runs, so a child
// that writes a lot to both, or reads nothing, never blocks. The result carries the exit code;
// only start, write and wait failures are errors (the system's description), and a child
// still running after `limit` is ended, as run_hidden does. Without a limit it may run as long
// as it needs: a dump or a restore takes as long as the database is large; a `watch` (in place
// of a limit) ends one that has stopped working.
Result<ChildOutcome> run_captured(const ChildProcess& child, const ChildInput& input,
                                  bool capture_output,
                                  std::optional<std::chrono::seconds> limit = std::nullopt,
                                  const ChildWatch* watch = nullptr);

// "<program> did not finish within N s", the program named by its file name without ".exe".
std::string overrun_text(std::string_view program, std::chrono::seconds limit);

// "exit code Some(N)" with N as a signed 32-bit number.
std::string exit_code_text(unsigned long code);

// The last five meaningful lines of a child's error output (the password warning dropped).
std::string stderr_summary(std::string_view bytes);
