#pragma once
// tray.log: one line per failed command-line mode, for installers and the Task Scheduler,
// where a message box may reach nobody; and the warnings of operations that succeeded without
// one of their steps.
#include <string>
#include <string_view>

// Appends "<timestamp> <mode> failed: <text>\n"; never fails towards its caller.
void log_mode_failure(std::string_view mode, std::string_view text);
// Appends "<timestamp> <mode>: <text>\n"; never fails towards its caller.
void log_mode_warning(std::string_view mode, std::string_view text);
