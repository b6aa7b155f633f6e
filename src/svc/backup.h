#pragma once
// A complete SQL dump of the application database into one file.
#include "app/result.h"

#include <string>

Result<void> backup(const std::string& target);
