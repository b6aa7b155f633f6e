#include "setup/backup_texts.h"

#include "i18n/tr.h"
#include "svc/auto_backup.h"
#include "svc/diagnosis.h"

namespace {
constexpr std::string_view separator = "  \u00B7  ";
constexpr char time_and_file = '|';
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
