#pragma once
// What mysqldump's own lines tell about a dump file: the comment it starts every dump with, and
// the one it ends a complete dump with.
#include <windows.h>

#include <string>

// The first lines name the dump program ("-- MySQL dump ...", or MariaDB's).
bool starts_like_a_dump(HANDLE file);

// The file ends with the "-- Dump completed" line: the dump program got to its end.
bool ends_like_a_complete_dump(HANDLE file);

// The same for the file at `path`; a file that cannot be read is no complete dump.
bool dump_is_complete(const std::string& path);
