#pragma once
// tray.log: one line per failed command-line mode, for installers and the Task Scheduler,
// where a message box may reach nobody; and the warnings of operations that succeeded without
// one of their steps.
#include <string_view>

// Appends "<timestamp> <mode> failed: <text>\n"; never fails towards its caller. A process that
// is not elevated neither creates the data folder nor the file: made by an ordinary user, they
// would be that user's.
void log_mode_failure(std::string_view mode, std::string_view text, bool elevated);

// Appends "<timestamp> <mode>: <text>\n": a step an operation that succeeded went without.
void log_mode_warning(std::string_view mode, std::string_view text);

// Appends "<timestamp> <mode> <text>\n": something an operation did that the log's reader must
// know, though the operation went on.
void log_mode_note(std::string_view mode, std::string_view text);
