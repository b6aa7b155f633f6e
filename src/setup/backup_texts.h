#pragma once
// The texts of the Backup & restore page as plain functions: the last-backup line and the file
// name the save dialog proposes.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// From the stored "LastBackup" value ("YYYY-MM-DD HH:MM|path"): "Last backup: <time>  ·  <path>",
// or "No backup yet" when there is no value or it holds no "|". The path may hold "|" itself.
std::string last_backup_line(const std::optional<std::string>& stored);

// "<database>_<timestamp>.sql"; characters that no Windows file name may hold become "_".
std::string proposed_backup_name(std::string_view database, std::string_view timestamp);

// An automatic dump in the restore list: "2026-03-01 02:30  ·  37 MB" from the local time it was
// made ("YYYY-MM-DD HH:MM:SS") and its size.
std::string dump_list_label(std::string_view time, std::uint64_t size);

// The Overview's line about a restore that was cut off: put back <safety dump's file name> on the
// Backup & restore page.
std::string interrupted_restore_note(std::string_view safety_dump);
// The same on the Backup & restore page, where the restore's hint stood.
std::string interrupted_restore_hint(std::string_view safety_dump);
