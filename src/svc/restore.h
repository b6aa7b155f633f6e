#pragma once
// Replaces the application database with a dump, after a safety dump of the current data.
#include "base/result.h"

#include <string>

// Gives the path of the safety dump.
Result<std::string> restore(const std::string& source);
