#pragma once
// The one action offered beside the reason a start failed, on the Overview and as --fix: what a
// manager can do about it without knowing what my.ini is.
#include "svc/diagnosis.h"

#include <cstdint>
#include <optional>
#include <string_view>

enum class DiagnosisAction : std::uint8_t {
    none,
    rebuild,          // damaged files: rebuild from the last good backup
    set_aside_option, // an option MySQL does not know: comment its line out and start
    open_drive,       // a full disk: show the drive in Explorer, to make room there
    other_port,       // the port is taken: another port, which every register must then use
    repair_rights,    // MySQL may not read its files: the data folder's rights set again
    end_stray,        // a mysqld.exe of this installation holds the port: end it and start
};

// The action for the cause. For the failures MySQL gave no known cause for it is the rebuild
// when a complete backup is there; for a taken port, ending the holder when that is a mysqld.exe
// of this installation.
DiagnosisAction diagnosis_action(const Diagnosis& diagnosis);

// The action now: finishing a rebuild that was cut off comes first, then the diagnosis's.
DiagnosisAction current_action(const std::optional<Diagnosis>& diagnosis);

// "rebuild", "set_aside_option", ...: what --status tells monitoring tools.
std::string_view diagnosis_action_code(DiagnosisAction action);
