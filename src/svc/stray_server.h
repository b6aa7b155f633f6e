#pragma once
// A mysqld.exe of this installation left running outside its service (started by hand, or kept
// alive after the service was killed): it holds the port and the data folder, and only ending it
// lets the service start.
#include "base/result.h"

// Whether the process is this installation's mysqld.exe (the program beside ours) on this data
// folder (its command line names our my.ini or data folder). False when that cannot be read.
bool is_stray_server(unsigned long pid);

// Ends the process, once more checked to be the stray server, and waits until it has gone.
Result<void> end_stray_server(unsigned long pid);
