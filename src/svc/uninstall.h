#pragma once
// Removes what install registered with Windows; data, configuration and logs stay.
#include "base/result.h"

Result<void> uninstall();
