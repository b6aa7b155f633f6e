#include "setup/backup_texts.h"

#include "base/fill_in.h"
#include "i18n/tr.h"
#include "svc/auto_backup.h"
#include "svc/diagnosis.h"

namespace {
constexpr std::string_view separator = "  \u00B7  ";
constexpr char time_and_file = '|';
// The safety dump by its file name: the folder is always the safety folder, and the whole path
// would not fit the line.
std::string_view file_name(std::string_view path) {
    return path.substr(path.find_last_of("\\/") + 1); // npos + 1 == 0
}
} // namespace

std::string last_backup_line(const std::optional<std::string>& stored) {
    const std::size_t split = stored ? stored->find(time_and_file) : std::string::npos;
    if (split == std::string::npos) return std::string(tr("No backup yet", "还没有备份过"));
    std::string line(tr("Last backup:", "上次备份："));
    line += ' ';
    line += std::string_view(*stored).substr(0, split);
    line += separator;
    line += std::string_view(*stored).substr(split + 1);
    return line;
}

std::string proposed_backup_name(std::string_view database, std::string_view timestamp) {
    std::string name = dump_name_stem(database);
    name += '_';
    name += timestamp;
    name += ".sql";
    return name;
}

std::string dump_list_label(std::string_view time, std::uint64_t size) {
    constexpr std::size_t minute_length = 16; // "YYYY-MM-DD HH:MM"
    std::string label(time.substr(0, minute_length));
    return label.append(separator).append(size_text(size));
}

std::string interrupted_restore_note(std::string_view safety_dump) {
    return fill_in(tr("A restore was interrupted: put back %1 on the Backup & restore page",
                      "一次恢复被中断了：请在\"备份与恢复\"页放回 %1"),
                   {file_name(safety_dump)});
}

std::string interrupted_restore_hint(std::string_view safety_dump) {
    return fill_in(
        tr("A restore was interrupted. Its safety dump: %1", "一次恢复被中断了。它的安全备份：%1"),
        {file_name(safety_dump)});
}
