#pragma once
// The rebuild of a database that cannot start, from the Overview's button and after a restore that
// could not start the server: the dump named, the question, then the job.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

// Asks, after `preface` when there is one, whether to rebuild from the file (or else from the
// newest complete backup) and starts the job on Yes; says why when there is no complete backup.
void offer_rebuild(HWND window, const std::optional<std::string>& file, std::string_view preface);
