// Which language a stored choice and a Windows display language give.
#include "i18n/language.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint16_t english_us = 0x0409;
constexpr std::uint16_t chinese_simplified = 0x0804;
constexpr std::uint16_t chinese_traditional = 0x0404;
constexpr std::uint16_t chinese_hong_kong = 0x0C04;
constexpr std::uint16_t french_france = 0x040C;
constexpr std::uint16_t french_canada = 0x0C0C;
constexpr std::uint16_t spanish_modern = 0x0C0A;
constexpr std::uint16_t spanish_mexico = 0x080A;
constexpr std::uint16_t german = 0x0407;
constexpr std::uint16_t japanese = 0x0411;

TEST(LanguageFor, StoredCodeWinsOverWindows) {
    EXPECT_EQ(language_for("en", french_france), Lang::en);
    EXPECT_EQ(language_for("zh", german), Lang::zh);
    EXPECT_EQ(language_for("fr", chinese_simplified), Lang::fr);
    EXPECT_EQ(language_for("es", english_us), Lang::es);
}

TEST(LanguageFor, AnythingElseFollowsTheWindowsDisplayLanguage) {
    for (std::string_view stored : {"auto", "", "EN", "Zh", "zh-CN", "fr-FR", " es", "es ", "de"}) {
        EXPECT_EQ(language_for(stored, french_france), Lang::fr) << stored;
        EXPECT_EQ(language_for(stored, german), Lang::en) << stored;
    }
}

TEST(LanguageFor, EveryVariantOfAWindowsLanguage) {
    EXPECT_EQ(language_for("auto", chinese_simplified), Lang::zh);
    EXPECT_EQ(language_for("auto", chinese_traditional), Lang::zh);
    EXPECT_EQ(language_for("auto", chinese_hong_kong), Lang::zh);
    EXPECT_EQ(language_for("auto", french_canada), Lang::fr);
    EXPECT_EQ(language_for("auto", spanish_modern), Lang::es);
    EXPECT_EQ(language_for("auto", spanish_mexico), Lang::es);
    EXPECT_EQ(language_for("auto", english_us), Lang::en);
    EXPECT_EQ(language_for("auto", japanese), Lang::en);
    EXPECT_EQ(language_for("auto", 0), Lang::en);
    // Only the primary language (the low ten bits) counts, whatever the sublanguage.
    EXPECT_EQ(language_for("auto", 0xFC0C), Lang::fr);
}

} // namespace
