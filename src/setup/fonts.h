#pragma once
// The Setup window's five fonts, all copies of the system message font with their own height,
// weight and face.
#include "base/handles.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct SetupFonts {
    UniqueFont body;
    UniqueFont section;
    UniqueFont status;
    UniqueFont title;
    UniqueFont icon;
};

struct FontFaces {
    std::wstring_view body;
    std::wstring_view heading;
    std::wstring_view icon;
};

// Simplified Chinese uses Microsoft YaHei UI for every text; otherwise Windows 11 has the
// Segoe UI Variable faces and Segoe Fluent Icons, older Windows Segoe UI and Segoe MDL2 Assets.
FontFaces font_faces(bool windows11, bool chinese);

// Windows 11 begins with build 22000; a build number that cannot be read counts as older.
bool is_windows11_build(const std::optional<std::string>& current_build_number);
// "CurrentBuildNumber" of this Windows.
bool running_on_windows11();

// Builds the five fonts for the current language at the given scale.
SetupFonts make_setup_fonts(float scale);
