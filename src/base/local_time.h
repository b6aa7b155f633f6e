#pragma once
// Local time as it appears in log lines and file names.
#include <string>

// Local time as YYYYMMDD_HHMMSS.
std::string local_timestamp();
