#include "setup/backup_texts.h"

#include "i18n/tr.h"

namespace {
constexpr std::string_view separator = "  \u00B7  ";
constexpr char time_and_file = '|';
constexpr std::string_view not_in_file_names = "\\/:*?\"<>|";
constexpr char control_characters_end = 0x20;
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
    std::string name;
    for (char c : database) {
        const bool unusable = (c >= 0 && c < control_characters_end) ||
                              not_in_file_names.find(c) != std::string_view::npos;
        name += unusable ? '_' : c;
    }
    name += '_';
    name += timestamp;
    name += ".sql";
    return name;
}
