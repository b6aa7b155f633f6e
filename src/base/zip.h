#pragma once
// A zip archive as every zip reader opens it: each member deflated, with its CRC-32 and its name
// in UTF-8 (flagged so), and the central directory at the end. Built in memory: the archives this
// program writes hold a few megabytes.
#include "base/result.h"

#include <windows.h>

#include <string>
#include <vector>

struct ZipMember {
    std::string name; // UTF-8, "/" between folders
    std::string content;
};

// The archive's bytes; every member carries `time` (local) as its time. Fails when deflate does,
// or when the archive would outgrow the format's 32-bit sizes and 16-bit member count.
Result<std::string> zip_archive(const std::vector<ZipMember>& members, const SYSTEMTIME& time);
