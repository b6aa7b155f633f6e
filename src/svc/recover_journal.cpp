#include "svc/recover_journal.h"

#include "base/files.h"
#include "base/processes.h"
#include "base/text.h"
#include "instance/data_folder.h"
#include "instance/paths.h"
#include "svc/backup_state.h"

#include <windows.h>

#include <algorithm>

namespace {

constexpr std::string_view damaged_suffix = ".damaged-";
constexpr std::uint64_t journal_limit = 64 * 1024;

// data.damaged-YYYYMMDD_HHMMSS beside the data directory, and there: nothing else is ever
// taken for the damaged files.
bool kept_damaged_folder(std::string_view path) {
    const std::string prefix = data_dir() + std::string(damaged_suffix);
    if (path.size() != prefix.size() + 15 || !path.starts_with(prefix)) return false;
    const std::string_view stamp = path.substr(prefix.size());
    const bool digits =
        std::ranges::all_of(stamp, [](char c) { return c == '_' || (c >= '0' && c <= '9'); });
    return digits && stamp[8] == '_' && is_directory(std::string(path));
}

} // namespace

namespace {

Result<void> write_journal(const InterruptedRecovery& recovery,
                           std::optional<ProcessMark> process) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::string started = recovery.started.empty() ? local_time_text(now) : recovery.started;
    std::string text =
        "; KELTA Retail MySQL - the database is being rebuilt from a backup; deleted when it has "
        "finished\r\n"
        "[rebuild]\r\ndump=" +
        recovery.dump + "\r\ndump_time=" + recovery.dump_time + "\r\ndamaged=" + recovery.damaged +
        "\r\nstarted=" + started + "\r\n";
    if (process)
        text += "process=" + std::to_string(process->id) +
                "\r\nprocess_started=" + std::to_string(process->started) + "\r\n";
    return replace_private_file_contents(recovery_journal_path(), text);
}

} // namespace

Result<void> begin_recovery_journal(const InterruptedRecovery& recovery) {
    return write_journal(recovery, this_process());
}

Result<void> leave_recovery_journal(const InterruptedRecovery& recovery) {
    return write_journal(recovery, std::nullopt);
}

Result<void> end_recovery_journal() {
    if (!DeleteFileW(widen(recovery_journal_path()).c_str()) &&
        GetLastError() != ERROR_FILE_NOT_FOUND)
        return fail(recovery_journal_path() + ": " + last_error_text());
    return {};
}

std::optional<InterruptedRecovery> interrupted_recovery() {
    // Only the administrators' own: a journal makes the Overview offer, and --fix take, a rebuild.
    auto text = read_trusted_text(recovery_journal_path(), journal_limit);
    if (!text) return std::nullopt;
    InterruptedRecovery found;
    ProcessMark process;
    for (const KeyValue& pair : key_value_lines(*text)) {
        if (pair.key == "dump") found.dump = pair.value;
        if (pair.key == "dump_time") found.dump_time = pair.value;
        if (pair.key == "damaged") found.damaged = pair.value;
        if (pair.key == "started") found.started = pair.value;
        if (pair.key == "process") process.id = parse_u64(pair.value).value_or(0);
        if (pair.key == "process_started") process.started = parse_u64(pair.value).value_or(0);
    }
    if (found.dump.empty() || !kept_damaged_folder(found.damaged)) return std::nullopt;
    if (process.id != 0 && still_running(process)) return std::nullopt;
    return found;
}
