// The Setup window's palettes and their roles, the font faces, the version text, and the small
// text rules of the frame.
#include "setup/control_ids.h"
#include "setup/fonts.h"
#include "setup/frame.h"
#include "setup/palette.h"

#include <gtest/gtest.h>

namespace {

TEST(SetupPalette, LightAndDarkEntries) {
    const Palette& light = light_palette();
    const Palette& dark = dark_palette();
    EXPECT_EQ(light[window_background], RGB(243, 243, 243));
    EXPECT_EQ(dark[window_background], RGB(32, 32, 32));
    EXPECT_EQ(light[card_background], RGB(251, 251, 251));
    EXPECT_EQ(dark[card_background], RGB(43, 43, 43));
    EXPECT_EQ(light[success_colour], RGB(15, 123, 15));
    EXPECT_EQ(dark[success_colour], RGB(108, 203, 95));
    EXPECT_EQ(light[error_colour], RGB(196, 43, 28));
    EXPECT_EQ(dark[error_colour], RGB(255, 153, 164));
    EXPECT_EQ(light[transition_colour], RGB(157, 93, 0));
    EXPECT_EQ(dark[transition_colour], RGB(252, 225, 0));
    EXPECT_EQ(light[inactive_colour], RGB(138, 138, 138));
    EXPECT_EQ(dark[inactive_colour], RGB(154, 154, 154));
    EXPECT_EQ(&palette_for(true), &dark);
    EXPECT_EQ(&palette_for(false), &light);
    EXPECT_EQ(button_outline(true), 0x4B4B4Bu);
    EXPECT_EQ(button_outline(false), 0xD0D0D0u);
}

TEST(SetupPalette, StatusDotColours) {
    EXPECT_EQ(status_entry(ServiceStatus::Running), success_colour);
    EXPECT_EQ(status_entry(ServiceStatus::Stopped), error_colour);
    EXPECT_EQ(status_entry(ServiceStatus::NotInstalled), inactive_colour);
    EXPECT_EQ(status_entry(ServiceStatus::Starting), transition_colour);
    EXPECT_EQ(status_entry(ServiceStatus::Stopping), transition_colour);
    EXPECT_EQ(status_entry(ServiceStatus::RunningNotAccepting), transition_colour);
}

TEST(SetupPalette, ControlTextColours) {
    EXPECT_EQ(control_text_entry(id::validation_message, true, StatusKind::neutral), error_colour);
    EXPECT_EQ(control_text_entry(id::firewall_line, true, StatusKind::neutral), success_colour);
    EXPECT_EQ(control_text_entry(id::firewall_line, false, StatusKind::neutral), error_colour);
    EXPECT_EQ(control_text_entry(id::status_line, false, StatusKind::success), success_colour);
    EXPECT_EQ(control_text_entry(id::status_line, false, StatusKind::error), error_colour);
    EXPECT_EQ(control_text_entry(id::status_line, false, StatusKind::neutral), secondary_text);
    for (int secondary : {231, 216, 217, 251, 252, 255, 259, 276, 281})
        EXPECT_EQ(control_text_entry(secondary, false, StatusKind::error), secondary_text)
            << secondary;
    for (int normal : {0, 230, 236, 240, 244, 280, 314})
        EXPECT_EQ(control_text_entry(normal, false, StatusKind::error), normal_text) << normal;
}

TEST(SetupPalette, ControlBackgrounds) {
    EXPECT_EQ(control_background_entry(id::port_edit, true), field_background);
    EXPECT_EQ(control_background_entry(id::progress_bar, true), field_background);
    EXPECT_EQ(control_background_entry(id::progress_bar, false), window_background);
    EXPECT_EQ(control_background_entry(id::status_line, false), window_background);
    // Read-only fields ask as static controls: they sit on the card.
    EXPECT_EQ(control_background_entry(id::server_field, false), card_background);
    EXPECT_EQ(control_background_entry(0, false), card_background);
}

TEST(SetupFonts, FacesByWindowsVersionAndLanguage) {
    FontFaces win10 = font_faces(false, false);
    EXPECT_EQ(win10.body, L"Segoe UI");
    EXPECT_EQ(win10.heading, L"Segoe UI");
    EXPECT_EQ(win10.icon, L"Segoe MDL2 Assets");
    FontFaces win11 = font_faces(true, false);
    EXPECT_EQ(win11.body, L"Segoe UI Variable Text");
    EXPECT_EQ(win11.heading, L"Segoe UI Variable Display");
    EXPECT_EQ(win11.icon, L"Segoe Fluent Icons");
    // Chinese texts use YaHei on every Windows; the glyphs keep the icon face.
    for (bool windows11 : {false, true}) {
        FontFaces chinese = font_faces(windows11, true);
        EXPECT_EQ(chinese.body, L"Microsoft YaHei UI");
        EXPECT_EQ(chinese.heading, L"Microsoft YaHei UI");
        EXPECT_EQ(chinese.icon, windows11 ? L"Segoe Fluent Icons" : L"Segoe MDL2 Assets");
    }
}

TEST(SetupFonts, Windows11FromTheBuildNumber) {
    EXPECT_TRUE(is_windows11_build("22000"));
    EXPECT_TRUE(is_windows11_build("26100"));
    EXPECT_FALSE(is_windows11_build("21999"));
    EXPECT_FALSE(is_windows11_build("19045"));
    EXPECT_FALSE(is_windows11_build(std::nullopt));
    EXPECT_FALSE(is_windows11_build(""));
    EXPECT_FALSE(is_windows11_build("22000a"));
    EXPECT_FALSE(is_windows11_build("-22000"));
}

TEST(SetupFrameRules, DisplayVersionDropsTrailingZeroComponents) {
    EXPECT_EQ(display_version(), "1.1.1");
    EXPECT_EQ(display_version("1.1.1.0"), "1.1.1");
    EXPECT_EQ(display_version("2.0.0"), "2");
    EXPECT_EQ(display_version("1.10"), "1.10");
    EXPECT_EQ(display_version("1.0.3"), "1.0.3");
    EXPECT_EQ(display_version("3.100.0"), "3.100");
}

TEST(SetupFrameRules, FirstLineOfAnError) {
    EXPECT_EQ(first_line("one\r\ntwo\nthree"), "one");
    EXPECT_EQ(first_line("one\ntwo"), "one");
    EXPECT_EQ(first_line("single"), "single");
    EXPECT_EQ(first_line("\nsecond"), "");
    EXPECT_EQ(first_line("carriage\rinside\n"), "carriage\rinside");
}

TEST(SetupFrameRules, ColourThemeChangeIsRecognisedExactly) {
    EXPECT_TRUE(is_colour_theme_change(L"ImmersiveColorSet"));
    EXPECT_FALSE(is_colour_theme_change(nullptr));
    EXPECT_FALSE(is_colour_theme_change(L""));
    EXPECT_FALSE(is_colour_theme_change(L"immersivecolorset"));
    EXPECT_FALSE(is_colour_theme_change(L"ImmersiveColorSetX"));
    EXPECT_FALSE(is_colour_theme_change(L"ImmersiveColor"));
    EXPECT_FALSE(is_colour_theme_change(L"WindowMetrics"));
}

} // namespace
