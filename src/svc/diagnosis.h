#pragma once
// Why the server did not start, in words a shop assistant can act on: the cause read from the
// lines MySQL 5.7 wrote to error.log during that start, and the facts the advice needs.
#include "i18n/language.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class StartFailure : std::uint8_t {
    port_in_use,
    data_folder_locked,
    unknown_option,
    file_access,
    disk_full,
    system_tables,
    innodb_corruption,
    other,
};

// What the log says: the cause, and the words that name it (the unknown option as MySQL quotes
// it; for any other cause the first error line without its time stamp).
struct LogFinding {
    StartFailure cause = StartFailure::other;
    std::string subject;
};

// The first cause whose marks appear in the lines, in the order of StartFailure; nothing when
// the lines hold no error at all.
std::optional<LogFinding> classify_error_log(std::string_view lines);

struct Diagnosis {
    StartFailure cause = StartFailure::other;
    // The program holding the port (empty when it cannot be named), the my.ini line of an
    // unknown option, or MySQL's own error line.
    std::string subject;
    std::uint16_t port = 0;
    unsigned long pid = 0; // of the program holding the port
    std::string backup;    // the last backup, "2026-03-01 18:45, D:\Backups\shop.sql"; may be empty
    std::string free_space; // "12 MB"
    std::string drive;      // "C:"
    std::string folder;     // the data folder

    bool operator==(const Diagnosis&) const = default;
};

// "port_in_use", "unknown_option", ...: what monitoring tools read.
std::string_view diagnosis_code(StartFailure cause);

// The message for the operator in the language.
std::string diagnosis_text(const Diagnosis& diagnosis, Lang lang);

// "512 KB", "37 MB", "1.5 GB".
std::string size_text(std::uint64_t bytes);

// The stored form, one "key=value" line each, and back; the reader takes nothing on trust.
std::string render_diagnosis(const Diagnosis& diagnosis);
std::optional<Diagnosis> parse_diagnosis(std::string_view text);
