#include "setup/diagnosis_actions.h"

#include "i18n/tr.h"

DiagnosisAction diagnosis_action(const Diagnosis& diagnosis, bool (*backup_exists)(),
                                 bool (*stray)(unsigned long pid)) {
    switch (diagnosis.cause) {
    case StartFailure::innodb_corruption:
    case StartFailure::system_tables:
        return DiagnosisAction::rebuild;
    case StartFailure::unknown_option:
        return DiagnosisAction::set_aside_option;
    case StartFailure::port_in_use:
        return stray(diagnosis.pid) ? DiagnosisAction::end_stray : DiagnosisAction::other_port;
    case StartFailure::file_access:
        return DiagnosisAction::repair_rights;
    case StartFailure::disk_full:
        return diagnosis.drive.empty() ? DiagnosisAction::none : DiagnosisAction::open_drive;
    case StartFailure::other:
        // Asked only here: it reads the backups' last lines.
        return backup_exists() ? DiagnosisAction::rebuild : DiagnosisAction::none;
    default:
        return DiagnosisAction::none;
    }
}

std::string_view diagnosis_action_text(DiagnosisAction action) {
    switch (action) {
    case DiagnosisAction::rebuild:
        return tr("Rebuild from backup...", "从备份重建…");
    case DiagnosisAction::set_aside_option:
        return tr("Set this line aside and start", "停用这一行并启动");
    case DiagnosisAction::open_drive:
        return tr("Open the drive", "打开该驱动器");
    case DiagnosisAction::other_port:
        return tr("Use another port...", "使用其他端口…");
    case DiagnosisAction::repair_rights:
        return tr("Repair folder rights", "修复文件夹权限");
    case DiagnosisAction::end_stray:
        return tr("End the old MySQL process and start", "结束旧的 MySQL 进程并启动");
    case DiagnosisAction::none:
        break;
    }
    return {};
}
