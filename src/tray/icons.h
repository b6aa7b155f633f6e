#pragma once
// The four tray icons: the program icon with a grey, red or amber status dot, and the plain one.
#include "base/handles.h"
#include "svc/status.h"
#include "tray/dot.h"

#include <array>
#include <cstddef>
#include <optional>

inline constexpr std::size_t tray_icon_count = 4;
using TrayIcons = std::array<UniqueIcon, tray_icon_count>;

inline constexpr std::size_t icon_grey = 0;  // service not installed
inline constexpr std::size_t icon_red = 1;   // stopped
inline constexpr std::size_t icon_amber = 2; // starting, stopping, not yet accepting
inline constexpr std::size_t icon_plain = 3; // running

inline constexpr DotColour dot_grey{150, 150, 150};
inline constexpr DotColour dot_red{220, 53, 69};
inline constexpr DotColour dot_amber{245, 166, 35};

// Which of the four icons shows a service state.
std::size_t icon_for_status(ServiceStatus status);

// Built from the 32-pixel image of icon resource 1 of `module`. A picture that cannot be read
// keeps the plain program icon; an icon that cannot be created leaves its entry empty.
TrayIcons build_tray_icons(HINSTANCE module);

// The icon with the dot drawn in: a new icon (the source is destroyed), the source itself when
// its picture cannot be read, or nothing when the new icon cannot be created.
UniqueIcon add_status_dot(UniqueIcon source, DotColour colour);

// The colour picture of an icon as GetDIBits gives it on the screen device context.
std::optional<IconPixels> icon_pixels(HICON icon);
