#pragma once
// The interface language: one per Windows user, stored in the registry, "auto" following the
// Windows display language; and the process-wide current language that every translation reads.
#include "base/result.h"

#include <cstdint>
#include <string>
#include <string_view>

// The values are those of the current-language byte, where 0 means "not yet detected".
enum class Lang : std::uint8_t { en = 1, zh = 2, fr = 3, es = 4 };

// The stored choice ("Language" under HKCU\Software\Vantrelo\KELTA Retail MySQL), or "auto".
std::string read_language_setting();

// The language for a stored choice: "en", "zh", "fr" or "es" exactly; anything else follows
// the primary language of the Windows display language `ui_language_id` (a LANGID).
Lang language_for(std::string_view stored_choice, std::uint16_t ui_language_id);

// Sets the current language from the stored choice and, for "auto", from Windows.
void detect_language();

// The current language, detected first when it is still unknown. Safe on any thread.
Lang current_language();

// Stores "auto", "en", "zh", "fr" or "es" and puts the new choice in force at once.
Result<void> set_language(const std::string& code);

// Where detection asks for the Windows display language (GetUserDefaultUILanguage). Tests put
// a stand-in here to play a French, Spanish, Chinese or German Windows; gives the previous one.
using UiLanguageQuery = std::uint16_t (*)();
UiLanguageQuery replace_ui_language_query(UiLanguageQuery query);
