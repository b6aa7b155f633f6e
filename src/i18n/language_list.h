#pragma once
// The languages the operator can choose from, in the order the General page lists them.
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

struct LanguageChoice {
    std::string_view code; // as stored in "Language"
    std::string_view name; // as the list shows it
};

inline constexpr std::size_t language_choice_count = 5;

// "auto" ("Same as Windows", translated), then English, 简体中文, Français and Español, each
// language by its own name whatever the current language is.
std::array<LanguageChoice, language_choice_count> language_choices();

// The row of a stored code, or nothing when no row has exactly that code.
std::optional<std::size_t> language_row(std::string_view code);
