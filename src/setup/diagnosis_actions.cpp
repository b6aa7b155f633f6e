#include "setup/diagnosis_actions.h"

#include "i18n/tr.h"

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
