#pragma once
// The French and Spanish texts of every operator text, keyed by its English text. The Chinese
// text never comes from here: each caller holds it beside the English one.
#include <span>
#include <string_view>

struct TranslationRow {
    std::string_view english;
    std::string_view french;
    std::string_view spanish;
};

// Every row, sorted by the bytes of the English key; keys are unique.
std::span<const TranslationRow> translation_table();

// The row whose key equals `english` exactly (case and blanks matter), or nothing.
const TranslationRow* find_translation(std::string_view english);
