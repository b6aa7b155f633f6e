#pragma once
// The coloured status dot of the tray icons, drawn into the 32 x 32 picture of the program icon:
// pure pixel work, so that it can be checked without a window or a device context.
#include <array>
#include <cstdint>

inline constexpr int dot_icon_side = 32;

// Top-down rows of 0xAARRGGBB pixels, as GetDIBits gives a 32-bit picture.
using IconPixels = std::array<std::uint32_t, dot_icon_side * dot_icon_side>;

struct DotColour {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};

// Straight alpha: some pixel that is not fully opaque has a colour channel above its alpha,
// which premultiplied alpha cannot hold. A fully opaque picture therefore counts as premultiplied.
bool has_straight_alpha(const IconPixels& pixels);

// Blends a dark ring and then the disc of `colour` near the lower right corner, anti-aliased,
// keeping the picture's alpha form.
void draw_status_dot(IconPixels& pixels, DotColour colour);
