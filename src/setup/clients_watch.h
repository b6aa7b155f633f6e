#pragma once
// The computers connected to the server as the Setup window knows them: read with the status on a
// thread of their own, so that the window waits neither for the table nor for a name, and read
// once more, right then, before an action that would cut them off.
#include "jobs/client_texts.h"

#include <windows.h>

// Posted by the reading thread when a reading, or a name found since, is ready.
inline constexpr UINT MSG_CLIENTS_READ = WM_APP + 20;

// Starts a reading on a thread of its own, unless one runs or a job does.
void read_clients(HWND window);
// MSG_CLIENTS_READ: the latest reading goes into the window's record; false when there was none.
bool take_clients(HWND window);

// Before an action that cuts the registers off: with any connected, asks whether to go on, naming
// them. True to go on, and always when none is connected.
bool cut_off_confirmed(HWND window, CutOff action);
