#include "jobs/mode_texts.h"

#include "base/fill_in.h"
#include "i18n/language.h"
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

std::string recover_question(const Recovery& recovery) {
    return fill_in(tr("Rebuild the database from the backup of %1?\n%2\n\nData entered after %1 "
                      "will be lost. The damaged files are kept in %3.",
                      "用 %1 的备份重建数据库吗？\n%2\n\n%1 之后录入的数据将丢失。损坏的文件保存在 "
                      "%3。"),
                   {recovery.dump.time, recovery.dump.path, recovery.damaged});
}

std::string recover_done_text(const RecoveryDump& dump, const Recovered& recovered) {
    return fill_in(
        tr("The database was rebuilt from the backup of %1 (tables: %4) in %2 s:\n%3\nThe "
           "damaged files are kept in %5.",
           "数据库已用 %1 的备份（表：%4）重建，用时 %2 秒：\n%3\n损坏的文件保存在 %5。"),
        {dump.time, std::to_string(recovered.seconds), dump.path, std::to_string(recovered.tables),
         recovered.damaged});
}

std::string interrupted_recovery_note(const InterruptedRecovery& interrupted) {
    return fill_in(
        tr("The rebuild of the database from the backup of %1 did not finish (started "
           "%2): MySQL may be running on a new, empty database. The damaged files are "
           "kept in %3.",
           "用 %1 的备份重建数据库的操作没有完成（开始于 %2）：MySQL 可能正在使用一个新的"
           "空数据库。损坏的文件保存在 %3。"),
        {interrupted.dump_time, interrupted.started, interrupted.damaged});
}

std::string interrupted_recovery_text(const InterruptedRecovery& interrupted) {
    return interrupted_recovery_note(interrupted) + " " +
           std::string(
               tr("Finish it with \"Rebuild from backup...\" on the Overview page of the "
                  "Setup window, or with --recover.",
                  "请在设置窗口\"概览\"页上用\"从备份重建…\"完成它，或用 --recover 完成。"));
}

std::string fix_by_hand_text(DiagnosisAction action, const Diagnosis& diagnosis,
                             std::optional<std::uint16_t> free_port) {
    std::string text = diagnosis_text(diagnosis, current_language()) + "\n";
    if (action == DiagnosisAction::other_port && free_port)
        return text +
               fill_in(tr("Choose another port, such as %1, on the Connection page of the "
                          "Setup window or with --apply; every register must then be set "
                          "to the new port.",
                          "请在设置窗口的\"连接方式\"页或用 --apply 选择其他端口，例如 %1；之后每台"
                          "收银机都必须改用新端口。"),
                       {std::to_string(*free_port)});
    if (action == DiagnosisAction::open_drive)
        return text + fill_in(tr("Make room on %1, then start MySQL.",
                                 "请在 %1 上腾出空间，然后启动 MySQL。"),
                              {diagnosis.drive});
    return text + std::string(tr("This cannot be fixed from here; nothing was changed.",
                                 "无法在这里修复；没有改动任何内容。"));
}

std::string support_file_done_text(std::string_view file) {
    std::string text(tr("Support file saved:", "技术支持文件已保存："));
    return text.append("\n").append(file);
}

std::string restore_failed_text(const RestoreFailure& failure) {
    using Kind = RestoreFailure::Kind;
    std::string text;
    switch (failure.kind) {
    case Kind::unchanged:
        return failure.reason;
    case Kind::incomplete_source:
        text = tr("This dump was cut short (its \"-- Dump completed\" line is missing); nothing "
                  "was restored:",
                  "这个备份文件不完整（缺少结尾的 \"-- Dump completed\" 行），没有恢复任何数据：");
        return text.append("\n").append(failure.reason);
    case Kind::outside_database:
        text = tr("This backup changes more than the shop's database (other databases, MySQL's "
                  "own tables or its accounts); nothing was restored:",
                  "这个备份会改动店铺数据库以外的内容（其他数据库、MySQL 自身的表或账户），没有恢复"
                  "任何数据：");
        return text.append("\n").append(failure.reason);
    case Kind::put_back:
        text = failure.reason + "\n";
        text += tr("The database was put back as it was before the restore, from:",
                   "数据库已用以下文件恢复到恢复前的状态：");
        return text.append("\n").append(failure.safety_dump);
    case Kind::not_put_back:
        text = failure.reason + "\n";
        text += tr("Putting the data back failed too:", "放回原数据也失败了：");
        text.append(" ").append(failure.put_back_reason).append("\n");
        text += tr("Restore this safety dump by hand:", "请手动恢复这个安全备份：");
        return text.append("\n").append(failure.safety_dump);
    }
    return failure.reason;
}

std::string interrupted_restore_text(const InterruptedRestore& interrupted) {
    return fill_in(tr("A restore was interrupted (started %1); the database may be only partly "
                      "restored. Put back the data from before it, on the Backup & restore page "
                      "of the Setup window or with --restore:\n%2",
                      "一次恢复被中断了（开始于 %1），数据库可能只恢复了一部分。请在设置窗口的"
                      "\"备份与恢复\"页放回恢复前的数据，或用 --restore 恢复：\n%2"),
                   {interrupted.started, interrupted.safety_dump});
}

std::string rotation_task_warning_text(std::string_view warning) {
    std::string text(tr("The nightly log rotation could not be set up; the error log is rotated "
                        "only when MySQL starts.",
                        "无法设置每晚的日志分隔，错误日志只在 MySQL 启动时分隔。"));
    return text.append("\n").append(warning);
}

std::string backup_task_warning_text(std::string_view warning) {
    std::string text(tr("The nightly automatic backup could not be set up; the database is backed "
                        "up only when you start a backup.",
                        "无法设置每晚的自动备份，只有手动开始备份时才会备份数据库。"));
    return text.append("\n").append(warning);
}

std::string install_warning_text(const Installed& installed) {
    std::string text;
    auto add = [&](const std::string& part) {
        if (!text.empty()) text += "\n";
        text += part;
    };
    if (!installed.warning.empty()) add(rotation_task_warning_text(installed.warning));
    if (!installed.backup_task_warning.empty())
        add(backup_task_warning_text(installed.backup_task_warning));
    if (!installed.service_warning.empty())
        add(std::string(tr("Windows will not restart MySQL by itself after a crash.",
                           "MySQL 崩溃后 Windows 不会自动重启它。")) +
            "\n" + installed.service_warning);
    return text;
}

std::string install_done_text(const Installed& installed) {
    std::string text(tr("MySQL service installed", "MySQL 服务已安装"));
    return text.append("\n").append(install_warning_text(installed));
}

std::string uninstall_warning_text(std::string_view warnings) {
    std::string text(
        tr("These could not be removed; remove them by hand:", "以下项目无法删除，请手动删除："));
    return text.append("\n").append(warnings);
}

std::string uninstall_done_text(std::string_view warnings) {
    std::string text(tr("MySQL service uninstalled (data kept)", "MySQL 服务已卸载（数据保留）"));
    if (warnings.empty()) return text;
    return text.append("\n").append(uninstall_warning_text(warnings));
}
