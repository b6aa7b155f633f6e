// Light or dark theme and the accent colour as the user's registry gives them, and the one-time
// lookup of the uxtheme.dll exports.
#include "user_registry.h"

#include "ui/theme.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

const std::string personalize = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
const std::string dwm = "Software\\Microsoft\\Windows\\DWM";

TEST(Theme, DarkOnlyWhenAppsUseLightThemeIsZero) {
    SavedUserValue saved(personalize, "AppsUseLightTheme");
    delete_user_value(personalize, "AppsUseLightTheme");
    EXPECT_FALSE(is_dark_theme());
    set_user_dword(personalize, "AppsUseLightTheme", 0);
    EXPECT_TRUE(is_dark_theme());
    set_user_dword(personalize, "AppsUseLightTheme", 1);
    EXPECT_FALSE(is_dark_theme());
    set_user_dword(personalize, "AppsUseLightTheme", 0x80000000);
    EXPECT_FALSE(is_dark_theme());
    // A value of another type cannot be read as a DWORD: light.
    set_user_string(personalize, "AppsUseLightTheme", "0");
    EXPECT_FALSE(is_dark_theme());
}

TEST(Theme, AccentColourKeepsTheLow24Bits) {
    SavedUserValue saved(dwm, "AccentColor");
    delete_user_value(dwm, "AccentColor");
    EXPECT_EQ(accent_color(), 0xC06700u);
    set_user_dword(dwm, "AccentColor", 0xFF112233);
    EXPECT_EQ(accent_color(), 0x112233u);
    set_user_dword(dwm, "AccentColor", 0x00ABCDEF);
    EXPECT_EQ(accent_color(), 0xABCDEFu);
    // Black is a colour that was read, not a missing value.
    set_user_dword(dwm, "AccentColor", 0x01000000);
    EXPECT_EQ(accent_color(), 0u);
    set_user_string(dwm, "AccentColor", "16711680");
    EXPECT_EQ(accent_color(), 0xC06700u);
}

TEST(Theme, ReadUserDwordTellsFoundFromZero) {
    SavedUserValue saved(dwm, "AccentColor");
    delete_user_value(dwm, "AccentColor");
    EXPECT_EQ(read_user_dword(dwm, "AccentColor"), std::nullopt);
    set_user_dword(dwm, "AccentColor", 0);
    EXPECT_EQ(read_user_dword(dwm, "AccentColor"), 0u);
    EXPECT_EQ(read_user_dword("Software\\No Such Key Here", "AccentColor"), std::nullopt);
}

TEST(Theme, UxthemeExportsAreLookedUpInOneLoadedLibrary) {
    FARPROC allow = uxtheme_function(uxtheme_allow_dark_mode_for_window);
    EXPECT_EQ(uxtheme_function(uxtheme_allow_dark_mode_for_window), allow);
    HMODULE uxtheme = GetModuleHandleW(L"uxtheme.dll");
    ASSERT_NE(uxtheme, nullptr);
    EXPECT_EQ(uxtheme_function(uxtheme_set_preferred_app_mode),
              GetProcAddress(uxtheme, MAKEINTRESOURCEA(uxtheme_set_preferred_app_mode)));
    // An ordinal the DLL does not export gives nothing rather than a stray pointer.
    EXPECT_EQ(uxtheme_function(9999), nullptr);
}

} // namespace
