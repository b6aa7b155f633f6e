#include "tray/dot.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double dot_centre = 22.88;
constexpr double ring_radius = 8.08;
constexpr double disc_radius = 6.58;
constexpr DotColour ring_colour{15, 23, 42};
constexpr double channel_max = 255.0;

struct Channels {
    double alpha; // 0..1
    double red, green, blue;
};

Channels unpack(std::uint32_t pixel) {
    return {((pixel >> 24) & 0xFF) / channel_max, static_cast<double>((pixel >> 16) & 0xFF),
            static_cast<double>((pixel >> 8) & 0xFF), static_cast<double>(pixel & 0xFF)};
}

std::uint32_t to_byte(double value) {
    // Truncation towards zero, then clamping, as the pictures were always built.
    return static_cast<std::uint32_t>(std::clamp(std::trunc(value), 0.0, channel_max));
}

std::uint32_t pack(double alpha, double red, double green, double blue) {
    return to_byte(alpha * channel_max) << 24 | to_byte(red) << 16 | to_byte(green) << 8 |
           to_byte(blue);
}

// `colour` over the pixel with coverage k (0 < k <= 1).
std::uint32_t blend(std::uint32_t pixel, DotColour colour, double k, bool premultiplied) {
    Channels c = unpack(pixel);
    if (premultiplied) {
        double divisor = c.alpha > 0 ? c.alpha : 1.0;
        c.red /= divisor;
        c.green /= divisor;
        c.blue /= divisor;
    }
    const double alpha = (1 - k) * c.alpha + k;
    if (alpha == 0) return 0;
    auto mix = [&](double channel, std::uint8_t over) {
        double value = (channel * c.alpha * (1 - k) + k * over) / alpha;
        return premultiplied ? value * alpha : value;
    };
    return pack(alpha, mix(c.red, colour.red), mix(c.green, colour.green),
                mix(c.blue, colour.blue));
}

double coverage(double radius, double distance) {
    return std::min(1.0, std::max(0.0, radius - distance));
}

} // namespace

bool has_straight_alpha(const IconPixels& pixels) {
    return std::any_of(pixels.begin(), pixels.end(), [](std::uint32_t pixel) {
        std::uint32_t alpha = pixel >> 24;
        if (alpha == 0xFF) return false;
        return ((pixel >> 16) & 0xFF) > alpha || ((pixel >> 8) & 0xFF) > alpha ||
               (pixel & 0xFF) > alpha;
    });
}

void draw_status_dot(IconPixels& pixels, DotColour colour) {
    const bool premultiplied = !has_straight_alpha(pixels);
    for (int y = 0; y < dot_icon_side; ++y) {
        for (int x = 0; x < dot_icon_side; ++x) {
            std::uint32_t& pixel = pixels[static_cast<std::size_t>(y * dot_icon_side + x)];
            const double distance = std::hypot(x + 0.5 - dot_centre, y + 0.5 - dot_centre);
            if (double k = coverage(ring_radius, distance); k > 0)
                pixel = blend(pixel, ring_colour, k, premultiplied);
            if (double k = coverage(disc_radius, distance); k > 0)
                pixel = blend(pixel, colour, k, premultiplied);
        }
    }
}
