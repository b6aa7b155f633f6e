#pragma once
// backup-dumps.ini: the dumps and copies the automatic backup made, numbered in the order it made
// them. It deletes only files on this list, and only while they are still what it wrote (there,
// with their size), so a clock set back or forward, a manual backup of the same name pattern in
// the folder or a file the operator copied in never changes what it deletes.
#include "base/result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ListedDump {
    std::uint64_t number = 0; // the order of making
    std::string time;         // local, "YYYY-MM-DD HH:MM:SS"
    std::uint64_t size = 0;
    std::string path;
    bool copy = false; // a copy in the copy_to folder rather than a dump in the backup folder

    bool operator==(const ListedDump&) const = default;
};

struct DumpList {
    std::uint64_t next = 1; // the number of the next dump
    std::vector<ListedDump> dumps;

    bool operator==(const DumpList&) const = default;
};

DumpList parse_dump_list(std::string_view text);
std::string render_dump_list(const DumpList& list);

// The stored list; nothing when there is none yet (or it cannot be read as one).
std::optional<DumpList> load_dump_list();
// Replaces the file in one step, readable by every user.
Result<void> save_dump_list(const DumpList& list);

// Adds the file with the next number; gives that number.
std::uint64_t add_dump(DumpList& list, ListedDump dump);

// Whether the listed file is still the one that was made (there, with its size), gone, or
// replaced by another file of its name.
enum class Presence : std::uint8_t { as_made, missing, replaced };
Presence presence_of(const ListedDump& dump);

// The paths to delete so that `keep` of the listed dumps (or copies) that are still as made are
// left: the lowest numbers go, never `newest`.
std::vector<std::string> dumps_to_prune(const DumpList& list, bool copies, std::size_t keep,
                                        std::uint64_t newest,
                                        Presence (*presence)(const ListedDump& dump));

// Forgets the files that are no longer the backup's to delete: the ones at `deleted`, the ones
// replaced, and the ones missing while `remembered` newer numbers were given (a USB drive that
// is away keeps its copies listed until it comes back).
void forget_gone(DumpList& list, const std::vector<std::string>& deleted, std::uint64_t remembered,
                 Presence (*presence)(const ListedDump& dump));

// The listed dumps (not copies) still as made, newest first.
std::vector<ListedDump> dumps_as_made(const DumpList& list);
