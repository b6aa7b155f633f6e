#pragma once
// Apply: make changed connection settings take effect on an installed server, then save them.
#include "base/result.h"
#include "config/settings.h"

Result<void> apply(const ConnectionSettings& settings);
