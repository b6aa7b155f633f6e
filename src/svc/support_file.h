#pragma once
// The support file: one zip archive that a shop mails to its helpdesk, holding every fact needed
// to diagnose the installation (status, settings, logs, the service, the firewall rule, the tasks,
// the connections on the port, the last failed start, the backups) and no password: the stored
// passwords are looked for in every member and replaced, and no dump, data file or init.sql is
// ever read into it.
#include "base/result.h"

#include <string>
#include <string_view>

// "KELTA-MySQL-support-<computer>-<YYYYMMDD_HHMMSS>.zip"
std::string support_file_name(std::string_view computer, std::string_view timestamp);

// Gathers everything and writes the archive to `path` in one step: a temporary file beside it,
// flushed, then renamed over it.
Result<void> save_support_file(const std::string& path);
