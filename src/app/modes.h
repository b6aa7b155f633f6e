#pragma once
// The process entry's decision: run one command-line mode and give its exit code, or become
// the tray program.
#include "app/cli.h"
#include "base/elevation.h"

#include <string>

int run_command_line(const Arguments& arguments, const ElevationHooks& elevation);

// The operator-facing box of a mode: caption "KELTA Retail MySQL", OK, error or information icon.
void show_message(const std::string& text, bool is_error);
