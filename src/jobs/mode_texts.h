#pragma once
// The texts that --backup, --restore and --install (and the Setup window's jobs) show, in the
// current language.
#include "svc/diagnosis_action.h"
#include "svc/install.h"
#include "svc/recover.h"
#include "svc/recover_journal.h"
#include "svc/restore.h"
#include "svc/restore_journal.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// "Backup done:", a line break and the file.
std::string backup_done_text(std::string_view file);

// "Restore done. Data before the restore was saved to:", a line break and the safety copy.
std::string restore_done_text(std::string_view safety_copy);

// What failed and what became of the database: refused before anything changed, put back from
// the safety dump, or (when that failed too) the safety dump to restore by hand.
std::string restore_failed_text(const RestoreFailure& failure);

// The question before a rebuild: the dump, its time, that what was entered after it is lost, and
// the folder the damaged files are kept in.
std::string recover_question(const Recovery& recovery);
// The rebuild done: the dump, its time and tables, how long it took and where the damaged files
// are.
std::string recover_done_text(const RecoveryDump& dump, const Recovered& recovered);

// That a rebuild did not finish, so that MySQL may run on a new, empty database, and where the
// damaged files are (the Overview's note, with the rebuild's button below it).
std::string interrupted_recovery_note(const InterruptedRecovery& interrupted);
// The same with how to finish it, for the modes.
std::string interrupted_recovery_text(const InterruptedRecovery& interrupted);

// --fix for a cause it cannot act on alone: what the operator does instead. `free_port` is the
// next free port, for a port that another program holds.
std::string fix_by_hand_text(DiagnosisAction action, const Diagnosis& diagnosis,
                             std::optional<std::uint16_t> free_port);

// "Support file saved:", a line break and the file.
std::string support_file_done_text(std::string_view file);

// That a restore was cut off, when it started, and the safety dump that puts the data back.
std::string interrupted_restore_text(const InterruptedRestore& interrupted);

// What an install that could not register the rotation task tells: that the error log is then
// rotated only when MySQL starts, a line break and the warning ("Log rotation task: <reason>").
std::string rotation_task_warning_text(std::string_view warning);
// What an install that could not register the backup task tells: that backups then run only
// when someone starts one, a line break and the warning ("Backup task: <reason>").
std::string backup_task_warning_text(std::string_view warning);
// The warnings of an install, one text each, on lines of their own; empty when there are none.
std::string install_warning_text(const Installed& installed);
// "MySQL service installed", a line break and the install's warnings.
std::string install_done_text(const Installed& installed);

// What an uninstall that left a firewall rule or a task behind tells, a line break and the
// warnings ("Firewall rule: <reason>", one a line).
std::string uninstall_warning_text(std::string_view warnings);
// "MySQL service uninstalled (data kept)", and the warnings when there are any.
std::string uninstall_done_text(std::string_view warnings);
