#pragma once
// Translation of an operator text. Every caller gives the English and the Simplified Chinese
// text side by side; French and Spanish come from the table. Never allocates: the result refers
// to one of the arguments or to constant table data.
#include "i18n/language.h"

#include <string_view>

// The text for `lang`: English, Chinese as passed, or the table's French or Spanish text of the
// English key, falling back to English when the key is not in the table.
std::string_view translate(Lang lang, std::string_view english, std::string_view chinese);

// translate() in the current language (detected on first use).
std::string_view tr(std::string_view english, std::string_view chinese);
