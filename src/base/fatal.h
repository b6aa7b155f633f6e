#pragma once
// The few conditions the program cannot go on from (the system random generator failing, a
// window's record used after the window was destroyed) end the process at once.
#include <string_view>

// Says why on the debugger output and ends the process with exit code 3, the code abort() gives.
// No message box: a quiet install or a scheduled task has nobody to close one, and would hang.
[[noreturn]] void end_process_now(std::string_view reason);
