#include "i18n/language.h"

#include "base/registry.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>

namespace {

constexpr std::string_view language_value = "Language";
// 16 UTF-16 units: longer stored texts do not fit and count as "auto".
constexpr std::size_t language_buffer_units = 16;
constexpr std::uint16_t primary_language_mask = 0x3FF;
constexpr std::uint16_t primary_chinese = 0x04; // every variant, Traditional included
constexpr std::uint16_t primary_french = 0x0C;
constexpr std::uint16_t primary_spanish = 0x0A;
constexpr std::uint8_t not_detected = 0;

constexpr std::array<std::string_view, 5> known_codes = {"auto", "en", "zh", "fr", "es"};

// One byte, so that every thread reads either the old or the new language, never a mix.
std::atomic<std::uint8_t> current_byte{not_detected};

std::uint16_t windows_display_language() {
    return GetUserDefaultUILanguage();
}

std::atomic<UiLanguageQuery> ui_language_query{windows_display_language};

Result<void> store_language_setting(std::string_view code) {
    UniqueKey key = create_key_for_values(HKEY_CURRENT_USER, program_key);
    if (!key) return fail("cannot open the registry key");
    unsigned long status = write_string(key.get(), language_value, code);
    if (status != ERROR_SUCCESS) return fail(registry_error_text(status));
    return {};
}

} // namespace

std::string read_language_setting() {
    return read_string(HKEY_CURRENT_USER, program_key, language_value, language_buffer_units)
        .value_or("auto");
}

Lang language_for(std::string_view stored_choice, std::uint16_t ui_language_id) {
    if (stored_choice == "en") return Lang::en;
    if (stored_choice == "zh") return Lang::zh;
    if (stored_choice == "fr") return Lang::fr;
    if (stored_choice == "es") return Lang::es;
    switch (ui_language_id & primary_language_mask) {
    case primary_chinese:
        return Lang::zh;
    case primary_french:
        return Lang::fr;
    case primary_spanish:
        return Lang::es;
    default:
        return Lang::en;
    }
}

void detect_language() {
    Lang lang = language_for(read_language_setting(), ui_language_query.load()());
    current_byte.store(static_cast<std::uint8_t>(lang), std::memory_order_release);
}

Lang current_language() {
    std::uint8_t byte = current_byte.load(std::memory_order_acquire);
    if (byte == not_detected) {
        // Two threads may both get here; both store the same result.
        detect_language();
        byte = current_byte.load(std::memory_order_acquire);
    }
    return static_cast<Lang>(byte);
}

Result<void> set_language(const std::string& code) {
    if (std::ranges::find(known_codes, code) == known_codes.end())
        return fail("unknown language " + code);
    auto stored = store_language_setting(code);
    if (!stored) return stored;
    detect_language();
    return {};
}

UiLanguageQuery replace_ui_language_query(UiLanguageQuery query) {
    return ui_language_query.exchange(query);
}
