#include "svc/diagnosis_action.h"

#include "svc/recover.h"
#include "svc/recover_journal.h"
#include "svc/stray_server.h"

DiagnosisAction diagnosis_action(const Diagnosis& diagnosis) {
    switch (diagnosis.cause) {
    case StartFailure::innodb_corruption:
    case StartFailure::system_tables:
        return DiagnosisAction::rebuild;
    case StartFailure::unknown_option:
        return DiagnosisAction::set_aside_option;
    case StartFailure::port_in_use:
        return is_stray_server(diagnosis.pid) ? DiagnosisAction::end_stray
                                              : DiagnosisAction::other_port;
    case StartFailure::file_access:
        return DiagnosisAction::repair_rights;
    case StartFailure::disk_full:
        return diagnosis.drive.empty() ? DiagnosisAction::none : DiagnosisAction::open_drive;
    case StartFailure::other:
        // Asked only here: it reads the backups' last lines.
        return recovery_possible() ? DiagnosisAction::rebuild : DiagnosisAction::none;
    default:
        return DiagnosisAction::none;
    }
}

DiagnosisAction current_action(const std::optional<Diagnosis>& diagnosis) {
    if (interrupted_recovery()) return DiagnosisAction::rebuild;
    return diagnosis ? diagnosis_action(*diagnosis) : DiagnosisAction::none;
}

std::string_view diagnosis_action_code(DiagnosisAction action) {
    switch (action) {
    case DiagnosisAction::rebuild:
        return "rebuild";
    case DiagnosisAction::set_aside_option:
        return "set_aside_option";
    case DiagnosisAction::open_drive:
        return "open_drive";
    case DiagnosisAction::other_port:
        return "other_port";
    case DiagnosisAction::repair_rights:
        return "repair_rights";
    case DiagnosisAction::end_stray:
        return "end_stray";
    case DiagnosisAction::none:
        break;
    }
    return {};
}
