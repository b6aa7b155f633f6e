#include "setup/fonts.h"

#include "base/registry.h"
#include "base/text.h"
#include "i18n/language.h"
#include "setup/geometry.h"

#include <algorithm>

namespace {

constexpr std::string_view windows_version_key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::size_t build_number_units = 16;
constexpr std::uint64_t first_windows11_build = 22000;

constexpr LONG normal_weight = 400;
constexpr LONG semibold_weight = 600;
constexpr int section_units = 15;
constexpr int heading_units = 20;
constexpr int icon_units = 16;

constexpr std::wstring_view chinese_face = L"Microsoft YaHei UI";
constexpr std::wstring_view variable_text_face = L"Segoe UI Variable Text";
constexpr std::wstring_view variable_display_face = L"Segoe UI Variable Display";
constexpr std::wstring_view classic_face = L"Segoe UI";
constexpr std::wstring_view fluent_icons_face = L"Segoe Fluent Icons";
constexpr std::wstring_view mdl2_icons_face = L"Segoe MDL2 Assets";

// The layout with iPaddedBorderWidth, which every Windows since Vista fills.
static_assert(sizeof(NONCLIENTMETRICSW) == 504);

LOGFONTW message_font() {
    NONCLIENTMETRICSW metrics{.cbSize = sizeof metrics};
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    return metrics.lfMessageFont;
}

// A copy of the message font with its own height, weight and face (cut to 31 units).
UniqueFont font_from(LOGFONTW font, LONG height, LONG weight, std::wstring_view face) {
    font.lfHeight = height;
    font.lfWeight = weight;
    std::fill(std::begin(font.lfFaceName), std::end(font.lfFaceName), L'\0');
    std::copy_n(face.begin(), std::min(face.size(), std::size(font.lfFaceName) - 1),
                font.lfFaceName);
    return UniqueFont(CreateFontIndirectW(&font));
}

} // namespace

FontFaces font_faces(bool windows11, bool chinese) {
    std::wstring_view icon = windows11 ? fluent_icons_face : mdl2_icons_face;
    if (chinese) return {chinese_face, chinese_face, icon};
    if (windows11) return {variable_text_face, variable_display_face, icon};
    return {classic_face, classic_face, icon};
}

bool is_windows11_build(const std::optional<std::string>& current_build_number) {
    if (!current_build_number) return false;
    auto build = parse_u64(*current_build_number);
    return build && *build >= first_windows11_build;
}

bool running_on_windows11() {
    return is_windows11_build(read_string(HKEY_LOCAL_MACHINE, windows_version_key,
                                          "CurrentBuildNumber", build_number_units));
}

SetupFonts make_setup_fonts(float scale) {
    const LOGFONTW base = message_font();
    const FontFaces faces = font_faces(running_on_windows11(), current_language() == Lang::zh);
    const LONG heading = -px(scale, heading_units);
    SetupFonts fonts;
    fonts.body = font_from(base, base.lfHeight, normal_weight, faces.body);
    fonts.section = font_from(base, -px(scale, section_units), semibold_weight, faces.body);
    fonts.status = font_from(base, heading, semibold_weight, faces.heading);
    fonts.title = font_from(base, heading, semibold_weight, faces.heading);
    fonts.icon = font_from(base, -px(scale, icon_units), normal_weight, faces.icon);
    return fonts;
}
