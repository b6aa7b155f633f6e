// The status dot as pure pixel work: which pictures count as straight alpha, and the blended
// pixels of ring and disc for opaque, transparent, straight and premultiplied pictures. The
// expected pixels were worked out by hand from the blend rule, not by running this code.
#include "tray/dot.h"
#include "tray/icons.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

IconPixels filled(std::uint32_t pixel) {
    IconPixels pixels;
    pixels.fill(pixel);
    return pixels;
}

std::uint32_t at(const IconPixels& pixels, int x, int y) {
    return pixels[static_cast<std::size_t>(y * dot_icon_side + x)];
}

constexpr DotColour red{220, 53, 69};
constexpr DotColour grey{150, 150, 150};
constexpr std::uint32_t rim = 0xFF0F172A;

TEST(TrayDot, StraightAlphaIsAChannelAboveItsAlpha) {
    EXPECT_FALSE(has_straight_alpha(filled(0xFFFFFFFF))); // opaque: premultiplied
    EXPECT_FALSE(has_straight_alpha(filled(0x00000000)));
    EXPECT_FALSE(has_straight_alpha(filled(0x80802010))); // every channel at most the alpha

    IconPixels one = filled(0xFFFFFFFF);
    one[1000] = 0x80008100; // green 0x81 above alpha 0x80
    EXPECT_TRUE(has_straight_alpha(one));
    one[1000] = 0x00000001; // colour under a fully transparent pixel
    EXPECT_TRUE(has_straight_alpha(one));
    one[1000] = 0xFE0000FE; // equal is not above
    EXPECT_FALSE(has_straight_alpha(one));
}

TEST(TrayDot, OpaquePictureGetsAnOpaqueDot) {
    IconPixels pixels = filled(0xFFFFFFFF);
    draw_status_dot(pixels, red);
    EXPECT_EQ(at(pixels, 22, 22), 0xFFDC3545u); // inside the disc: the colour itself
    EXPECT_EQ(at(pixels, 22, 28), 0xFFD13343u); // disc edge (coverage 0.947) over the rim
    EXPECT_EQ(at(pixels, 22, 29), rim);         // the rim, fully covered
    EXPECT_EQ(at(pixels, 22, 30), 0xFF92969Fu); // outer edge of the rim over white
    // Outside the ring (distance above 8.08) nothing changes: corners and the picture's middle.
    for (auto [x, y] : {std::pair{0, 0}, {31, 31}, {30, 30}, {16, 16}, {14, 22}, {22, 14}})
        EXPECT_EQ(at(pixels, x, y), 0xFFFFFFFFu) << x << "," << y;
    // Every pixel of the dot stays fully opaque.
    for (std::uint32_t pixel : pixels)
        EXPECT_EQ(pixel >> 24, 0xFFu);
}

TEST(TrayDot, DotOnATransparentPictureIsPremultiplied) {
    IconPixels pixels = filled(0);
    draw_status_dot(pixels, grey);
    EXPECT_EQ(at(pixels, 22, 22), 0xFF969696u);
    EXPECT_EQ(at(pixels, 22, 28), 0xFF8E8F90u);
    EXPECT_EQ(at(pixels, 22, 30), 0x72060A12u); // rim colour times its coverage 0.45
    EXPECT_EQ(at(pixels, 0, 0), 0u);
    EXPECT_FALSE(has_straight_alpha(pixels));
}

TEST(TrayDot, AlphaFormDecidesTheEdgeBlend) {
    // The same half-transparent pixel read as straight alpha and as premultiplied alpha.
    IconPixels straight = filled(0x80C86432);
    draw_status_dot(straight, red);
    EXPECT_EQ(at(straight, 22, 30), 0xB955342Du);
    EXPECT_EQ(at(straight, 22, 22), 0xFFDC3545u);
    EXPECT_EQ(at(straight, 5, 5), 0x80C86432u);

    IconPixels premultiplied = filled(0x80402010);
    draw_status_dot(premultiplied, red);
    EXPECT_EQ(at(premultiplied, 22, 30), 0xB9291B1Bu);
    EXPECT_EQ(at(premultiplied, 22, 29), rim);
    EXPECT_EQ(at(premultiplied, 5, 5), 0x80402010u);
}

TEST(TrayDot, DotIsRoundAndCentredNearTheLowerRightCorner) {
    IconPixels pixels = filled(0xFFFFFFFF);
    draw_status_dot(pixels, red);
    int changed = 0;
    for (int y = 0; y < dot_icon_side; ++y) {
        for (int x = 0; x < dot_icon_side; ++x) {
            const double distance = std::hypot(x + 0.5 - 22.88, y + 0.5 - 22.88);
            if (at(pixels, x, y) != 0xFFFFFFFFu) {
                ++changed;
                EXPECT_LT(distance, 8.08) << x << "," << y;
            }
            if (distance <= 5.58) {
                EXPECT_EQ(at(pixels, x, y), 0xFFDC3545u) << x << "," << y;
            }
        }
    }
    // About the area of a circle of radius 8.08 (205 pixels), all of it inside the picture.
    EXPECT_GT(changed, 190);
    EXPECT_LT(changed, 220);
}

TEST(TrayIcons, StartingStoppingAndNotAcceptingShareTheAmberIcon) {
    EXPECT_EQ(icon_for_status(ServiceStatus::NotInstalled), icon_grey);
    EXPECT_EQ(icon_for_status(ServiceStatus::Stopped), icon_red);
    EXPECT_EQ(icon_for_status(ServiceStatus::Starting), icon_amber);
    EXPECT_EQ(icon_for_status(ServiceStatus::Stopping), icon_amber);
    EXPECT_EQ(icon_for_status(ServiceStatus::RunningNotAccepting), icon_amber);
    EXPECT_EQ(icon_for_status(ServiceStatus::Running), icon_plain);
}

} // namespace
