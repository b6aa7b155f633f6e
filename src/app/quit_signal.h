#pragma once
// The machine-wide signal that ends every tray program and Setup window of every signed-in
// user. An uninstaller or an upgrade runs as the local system: it cannot reach windows in other
// users' sessions, and the program's files cannot be replaced or removed while they run.
#include "base/handles.h"
#include "base/result.h"

#include <windows.h>

struct RegisteredWaitTraits {
    using type = HANDLE;
    static HANDLE invalid() { return nullptr; }
    // Returns once a callback that already runs has finished.
    static void close(HANDLE wait) { UnregisterWaitEx(wait, INVALID_HANDLE_VALUE); }
};

// Held while a tray program or Setup window runs; the wait goes before the signal it waits on.
struct QuitWatch {
    UniqueHandle signal;
    Owned<RegisteredWaitTraits> wait;
};

// The signal closes `window` (WM_CLOSE), as the window's own Exit or close button would. Without
// the signal (it could not be opened) the window only misses the machine-wide quit.
QuitWatch watch_for_quit(HWND window);

// Raises the signal, then waits until no KeltaMySQL.exe or KeltaMySQL.com runs any more but this
// one, and lowers it again. Needs administrator rights; fails naming a process that still runs
// after a minute.
Result<void> quit_everywhere();
