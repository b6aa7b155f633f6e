#include "app/mode_texts.h"

#include "i18n/tr.h"

std::string backup_done_text(std::string_view file) {
    std::string text(tr("Backup done:", "备份完成："));
    return text.append("\n").append(file);
}

std::string restore_done_text(std::string_view safety_copy) {
    std::string text(tr("Restore done. Data before the restore was saved to:",
                        "恢复完成。恢复前的数据已另存为："));
    return text.append("\n").append(safety_copy);
}
