#pragma once
// Start of the tray program at the user's logon: the per-user Run value.
#include "base/result.h"

// On exactly when the Run value exists as a text, wherever it points.
bool is_run_at_logon();

// On: the quoted path of the running executable, no arguments. Off: the value is removed;
// switching off a start that was never on succeeds.
Result<void> set_run_at_logon(bool on);
