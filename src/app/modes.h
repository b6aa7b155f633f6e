#pragma once
// The process entry's decision: run one command-line mode and give its exit code, or become
// the tray program.
#include "app/cli.h"
#include "base/result.h"

#include <string>

// The two elevation steps, replaceable so that tests reach the branches of a process that is
// not elevated (Wine always reports an elevated token).
struct ElevationHooks {
    bool (*is_elevated)();
    Result<unsigned long> (*run_elevated)(const std::string& parameters, bool wait);
};

ElevationHooks real_elevation();

int run_command_line(const Arguments& arguments, const ElevationHooks& elevation);

// The operator-facing box of a mode: caption "KELTA Retail MySQL", OK, error or information icon.
void show_message(const std::string& text, bool is_error);
