#include "svc/restore_journal.h"

#include "base/files.h"
#include "base/processes.h"
#include "base/text.h"
#include "instance/data_folder.h"
#include "instance/paths.h"
#include "svc/backup_state.h"

#include <windows.h>

namespace {

constexpr std::string_view safety_prefix = "before-restore_";
constexpr std::uint64_t journal_limit = 64 * 1024;

bool in_safety_folder(std::string_view path) {
    const std::string folder = backups_dir() + "\\";
    if (path.size() <= folder.size() ||
        CompareStringOrdinal(widen(path.substr(0, folder.size())).c_str(), -1,
                             widen(folder).c_str(), -1, TRUE) != CSTR_EQUAL)
        return false;
    const std::string_view name = path.substr(folder.size());
    return name.starts_with(safety_prefix) && name.ends_with(".sql") &&
           name.find_first_of("\\/") == std::string_view::npos;
}

} // namespace

Result<void> begin_restore_journal(const InterruptedRestore& restore) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::string started = restore.started.empty() ? local_time_text(now) : restore.started;
    const ProcessMark process = this_process();
    const std::string text =
        "; KELTA Retail MySQL - a restore is changing the database; deleted when it has "
        "finished\r\n"
        "[restore]\r\nsafety_dump=" +
        restore.safety_dump + "\r\nstarted=" + started +
        "\r\nprocess=" + std::to_string(process.id) +
        "\r\nprocess_started=" + std::to_string(process.started) + "\r\n";
    return replace_private_file_contents(restore_journal_path(), text);
}

void end_restore_journal() {
    delete_file(restore_journal_path());
}

std::optional<InterruptedRestore> interrupted_restore() {
    // Only the administrators' own: the journal makes every mode and the window urge a restore.
    auto text = read_trusted_text(restore_journal_path(), journal_limit);
    if (!text) return std::nullopt;
    InterruptedRestore found;
    std::uint64_t process = 0, started = 0;
    for (const KeyValue& pair : key_value_lines(*text)) {
        if (pair.key == "safety_dump") found.safety_dump = pair.value;
        if (pair.key == "started") found.started = pair.value;
        if (pair.key == "process") process = parse_u64(pair.value).value_or(0);
        if (pair.key == "process_started") started = parse_u64(pair.value).value_or(0);
    }
    if (!in_safety_folder(found.safety_dump)) return std::nullopt;
    if (process != 0 &&
        still_running({static_cast<unsigned long>(process), static_cast<std::uint64_t>(started)}))
        return std::nullopt;
    return found;
}
