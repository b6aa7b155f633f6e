#pragma once
// Work that needs an administrator runs in a second copy of this executable, started through
// the shell with the elevation verb.
#include "base/result.h"

#include <windows.h>

#include <string>

bool is_elevated();

// Starts this executable with the parameters ("runas" when not elevated, "open" when elevated)
// in the caller's current folder and, with `wait`, waits for it and gives its exit code (0
// without `wait`). A declined prompt is "administrator permission was not granted"; any other
// failure is the system's description of it, an exit code that cannot be read included.
Result<unsigned long> run_elevated(const std::string& parameters, bool wait);

// What the shell's start gives: the process, or the shell's error code.
struct ShellStart {
    HANDLE process = nullptr;
    DWORD error = ERROR_SUCCESS;
};
using ShellStarter = ShellStart (*)(const std::wstring& file, const std::wstring& parameters,
                                    const std::wstring& folder);
// ShellExecuteExW with the verb, in the folder (empty: none), without the shell's own error box.
ShellStart shell_start(const std::wstring& file, const std::wstring& parameters,
                       const std::wstring& folder);

// The same for a given program and working folder (empty: none), started by `start`, so that
// tests reach the failure paths that Wine's shell never takes.
Result<unsigned long> run_elevated_program(const std::string& program,
                                           const std::string& parameters, bool wait,
                                           const std::string& folder,
                                           ShellStarter start = shell_start);

// The two elevation steps, replaceable so that tests reach the branches of a process that is
// not elevated (Wine always reports an elevated token).
struct ElevationHooks {
    bool (*is_elevated)();
    Result<unsigned long> (*run_elevated)(const std::string& parameters, bool wait);
};

ElevationHooks real_elevation();
