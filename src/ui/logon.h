#pragma once
// Start of the tray program at logon: the per-user Run value, and the one the package writes for
// every user of the machine.
#include "base/result.h"

// On exactly when the user's or the machine's Run value exists as a text, wherever it points.
bool is_run_at_logon();

// On: the user's value, the quoted path of the running executable, no arguments. Off: the user's
// value is removed, and the machine's too (which needs administrator rights), with the package's
// remembered choice set to off; switching off a start that was never on succeeds.
Result<void> set_run_at_logon(bool on);
