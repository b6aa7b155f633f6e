#pragma once
// The text of the button the Overview shows for the current action.
#include "svc/diagnosis_action.h"

#include <string_view>

std::string_view diagnosis_action_text(DiagnosisAction action);
