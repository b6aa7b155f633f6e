#pragma once
// The one action the Overview offers beside the reason a start failed: what a manager can do
// about it without knowing what my.ini is.
#include "svc/diagnosis.h"

#include <cstdint>
#include <string_view>

enum class DiagnosisAction : std::uint8_t {
    none,
    rebuild,          // damaged files: rebuild from the last good backup
    set_aside_option, // an option MySQL does not know: comment its line out and start
    open_drive,       // a full disk: show the drive in Explorer, to make room there
    other_port,       // the port is taken: the Connection page with a free one filled in
    repair_rights,    // MySQL may not read its files: the data folder's rights set again
    end_stray,        // a mysqld.exe of this installation holds the port: end it and start
};

// The action for the cause; `backup_exists` says whether a complete backup is there, for the
// failures MySQL gave no known cause for, and `stray` whether the process holding the port is a
// mysqld.exe of this installation.
DiagnosisAction diagnosis_action(const Diagnosis& diagnosis, bool (*backup_exists)(),
                                 bool (*stray)(unsigned long pid));

// The button's text.
std::string_view diagnosis_action_text(DiagnosisAction action);
