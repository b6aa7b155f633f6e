// The four tray icons as Windows holds them: built from icon resource 1 of the real program and
// read back with GetIconInfo and GetDIBits in this process, and the dot drawn into icons of
// known pictures (fully opaque, straight alpha, premultiplied alpha).
#include "harness.h"

#include "base/text.h"
#include "tray/icons.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace e2e;

namespace {

constexpr std::uint32_t rim = 0xFF0F172A;

std::uint32_t at(const IconPixels& pixels, int x, int y) {
    return pixels[static_cast<std::size_t>(y * dot_icon_side + x)];
}

bool outside_the_ring(int x, int y) {
    return std::hypot(x + 0.5 - 22.88, y + 0.5 - 22.88) >= 8.08;
}

std::uint32_t opaque(DotColour c) {
    return 0xFF000000u | std::uint32_t(c.red) << 16 | std::uint32_t(c.green) << 8 | c.blue;
}

// An icon whose colour picture is `pixel` everywhere, with an all-visible mask.
UniqueIcon icon_of(std::uint32_t pixel) {
    std::vector<std::uint32_t> colour(dot_icon_side * dot_icon_side, pixel);
    std::vector<std::uint8_t> mask(dot_icon_side * dot_icon_side / 8, 0);
    UniqueBitmap colour_bitmap(CreateBitmap(dot_icon_side, dot_icon_side, 1, 32, colour.data()));
    UniqueBitmap mask_bitmap(CreateBitmap(dot_icon_side, dot_icon_side, 1, 1, mask.data()));
    ICONINFO info{.fIcon = TRUE,
                  .xHotspot = 0,
                  .yHotspot = 0,
                  .hbmMask = mask_bitmap.get(),
                  .hbmColor = colour_bitmap.get()};
    return UniqueIcon(CreateIconIndirect(&info));
}

class TrayIconsOfTheProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        module_ = LoadLibraryExW(widen(app_exe()).c_str(), nullptr,
                                 LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr) << app_exe();
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }
    HMODULE module_ = nullptr;
};

TEST_F(TrayIconsOfTheProgram, ThreeDotsOverThePlainIcon) {
    TrayIcons icons = build_tray_icons(module_);
    for (const auto& icon : icons)
        ASSERT_TRUE(icon);
    auto plain = icon_pixels(icons[icon_plain].get());
    ASSERT_TRUE(plain);
    // The plain icon is the program icon's 32-pixel picture, unchanged.
    UniqueIcon program(static_cast<HICON>(
        LoadImageW(module_, MAKEINTRESOURCEW(1), IMAGE_ICON, dot_icon_side, dot_icon_side, 0)));
    EXPECT_EQ(icon_pixels(program.get()), plain);
    // Our drawing has anti-aliased edges in straight alpha.
    EXPECT_TRUE(has_straight_alpha(*plain));

    const std::pair<std::size_t, DotColour> dots[] = {
        {icon_grey, dot_grey}, {icon_red, dot_red}, {icon_amber, dot_amber}};
    for (const auto& [index, colour] : dots) {
        auto pixels = icon_pixels(icons[index].get());
        ASSERT_TRUE(pixels) << index;
        EXPECT_EQ(at(*pixels, 22, 22), opaque(colour)) << index;
        EXPECT_EQ(at(*pixels, 20, 24), opaque(colour)) << index;
        EXPECT_EQ(at(*pixels, 22, 29), rim) << index;
        EXPECT_EQ(at(*pixels, 29, 22), rim) << index;
        int unchanged = 0, outside = 0;
        for (int y = 0; y < dot_icon_side; ++y)
            for (int x = 0; x < dot_icon_side; ++x)
                if (outside_the_ring(x, y)) {
                    ++outside;
                    unchanged += at(*pixels, x, y) == at(*plain, x, y);
                }
        EXPECT_EQ(unchanged, outside) << "icon " << index << " changed outside its dot";
    }
    EXPECT_NE(at(*plain, 22, 22), opaque(dot_grey));
}

TEST(TrayIconDot, FullyOpaqueSourceGivesAnOpaqueDot) {
    UniqueIcon white = icon_of(0xFFFFFFFF);
    ASSERT_TRUE(white);
    UniqueIcon dotted = add_status_dot(std::move(white), dot_red);
    ASSERT_TRUE(dotted);
    auto pixels = icon_pixels(dotted.get());
    ASSERT_TRUE(pixels);
    EXPECT_EQ(at(*pixels, 22, 22), 0xFFDC3545u);
    EXPECT_EQ(at(*pixels, 22, 28), 0xFFD13343u);
    EXPECT_EQ(at(*pixels, 22, 30), 0xFF92969Fu);
    EXPECT_EQ(at(*pixels, 0, 0), 0xFFFFFFFFu);
    for (std::uint32_t pixel : *pixels)
        ASSERT_EQ(pixel >> 24, 0xFFu);
}

TEST(TrayIconDot, AlphaFormOfTheSourceIsKept) {
    auto edge_pixel = [](std::uint32_t fill) {
        UniqueIcon dotted = add_status_dot(icon_of(fill), dot_amber);
        auto pixels = icon_pixels(dotted.get());
        return pixels ? std::pair{at(*pixels, 22, 30), at(*pixels, 3, 3)} : std::pair{0u, 0u};
    };
    // Red 0xC8 above alpha 0x80: straight alpha.
    EXPECT_EQ(edge_pixel(0x80C86432), std::pair(0xB955342Du, 0x80C86432u));
    // Every channel at most the alpha: premultiplied.
    EXPECT_EQ(edge_pixel(0x80402010), std::pair(0xB9291B1Bu, 0x80402010u));
}

TEST(TrayIconDot, UnreadableSourceIsKeptAsItIs) {
    // A handle that is no icon cannot be read: it comes back untouched (and is not destroyed).
    const HICON not_an_icon = reinterpret_cast<HICON>(0x7777);
    UniqueIcon kept = add_status_dot(UniqueIcon(not_an_icon), dot_grey);
    EXPECT_EQ(kept.release(), not_an_icon);
}

} // namespace
