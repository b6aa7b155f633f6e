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

std::string rotation_task_warning_text(std::string_view warning) {
    std::string text(tr("The nightly log rotation could not be set up; the error log is rotated "
                        "only when MySQL starts.",
                        "无法设置每晚的日志分隔，错误日志只在 MySQL 启动时分隔。"));
    return text.append("\n").append(warning);
}

std::string install_done_text(std::string_view warning) {
    std::string text(tr("MySQL service installed", "MySQL 服务已安装"));
    return text.append("\n").append(rotation_task_warning_text(warning));
}
