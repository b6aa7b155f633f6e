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
    address_not_local,
    cannot_run,
    other,
};

// What the log says: the cause, and the words that name it (the unknown option as MySQL quotes
// it; for "other" MySQL's last error line of the start without its time stamp).
struct LogFinding {
    StartFailure cause = StartFailure::other;
    std::string subject;
};

// The cause that the lines MySQL wrote during one start name, read only from their errors: a
// warning or a note is never the cause. Nothing when the lines hold no error at all.
std::optional<LogFinding> classify_error_log(std::string_view lines);

// Seconds since 1970 (UTC) of the time stamp MySQL 5.7 begins a log line with,
// "2026-12-09T00:07:07.722478Z" or with an offset, "2026-12-09T08:07:07.722478+08:00"; nothing
// for a line without one.
std::optional<std::int64_t> log_line_time(std::string_view line);

// The exit status of a Windows program that could not run at all: the system's loader refused it.
inline constexpr unsigned long dll_not_found_status = 0xC0000135;
inline constexpr unsigned long invalid_image_status = 0xC000007B;
// Whether the exit status is one of those.
bool cannot_run_status(unsigned long exit_status);
// "0xC0000135": how a diagnosis of a program that cannot run names the status.
std::string exit_status_text(unsigned long exit_status);

struct Diagnosis {
    StartFailure cause = StartFailure::other;
    // The program holding the port (empty when it cannot be named), the my.ini line of an
    // unknown option, the bind-address that is not this computer's, the exit status of a
    // program that cannot run ("0xC0000135"), or MySQL's own error line.
    std::string subject;
    std::uint16_t port = 0;
    unsigned long pid = 0; // of the program holding the port
    std::string backup;    // the last backup, "2026-03-01 18:45, D:\Backups\shop.sql"; may be empty
    std::string free_space; // "12 MB"
    std::string drive;      // "C:"
    std::string folder;     // the data folder
    std::string time;       // of the failed start, UTC: "2026-03-01T18:45:02Z"; may be empty

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
