#include "i18n/language_list.h"

#include "i18n/tr.h"

namespace {
constexpr std::array<std::string_view, language_choice_count> codes = {"auto", "en", "zh", "fr",
                                                                       "es"};
} // namespace

std::array<LanguageChoice, language_choice_count> language_choices() {
    return {{
        {codes[0], tr("Same as Windows", "跟随系统")},
        {codes[1], "English"},
        {codes[2], "简体中文"},
        {codes[3], "Français"},
        {codes[4], "Español"},
    }};
}

std::optional<std::size_t> language_row(std::string_view code) {
    for (std::size_t row = 0; row < codes.size(); ++row)
        if (codes[row] == code) return row;
    return std::nullopt;
}
