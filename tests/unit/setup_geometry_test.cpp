// The Setup window's geometry: logical units scaled to pixels, the navigation hit test and the
// rectangles that painting and invalidation use, at 96 and 144 dots per inch.
#include "setup/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr float at_96 = 1.0f;
constexpr float at_144 = 1.5f;

void expect_rect(const RECT& r, LONG left, LONG top, LONG right, LONG bottom) {
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

TEST(SetupGeometry, PxRoundsHalvesAwayFromZero) {
    EXPECT_EQ(px(at_144, 20), 30);
    EXPECT_EQ(px(at_144, 7), 11);   // 10.5
    EXPECT_EQ(px(at_144, -7), -11); // -10.5
    EXPECT_EQ(px(1.25f, 2), 3);     // 2.5
    EXPECT_EQ(px(1.25f, 1), 1);     // 1.25
    EXPECT_EQ(px(1.75f, 1), 2);     // 1.75
    EXPECT_EQ(px(at_96, 0), 0);
}

TEST(SetupGeometry, PxSaturatesAndMapsNanToZero) {
    EXPECT_EQ(px(std::numeric_limits<float>::quiet_NaN(), 10), 0);
    EXPECT_EQ(px(at_96, std::nan("")), 0);
    EXPECT_EQ(px(1e30f, 10), std::numeric_limits<int>::max());
    EXPECT_EQ(px(std::numeric_limits<float>::infinity(), 1), std::numeric_limits<int>::max());
    EXPECT_EQ(px(1e30f, -10), std::numeric_limits<int>::min());
}

TEST(SetupGeometry, ScaleComesFromTheScreenDpi) {
    EXPECT_FLOAT_EQ(scale_for_dpi(96), 1.0f);
    EXPECT_FLOAT_EQ(scale_for_dpi(144), 1.5f);
    EXPECT_FLOAT_EQ(scale_for_dpi(120), 1.25f);
}

TEST(SetupGeometry, ClientAreaIs780By560Units) {
    EXPECT_EQ(client_size(at_96).cx, 780);
    EXPECT_EQ(client_size(at_96).cy, 560);
    EXPECT_EQ(client_size(at_144).cx, 1170);
    EXPECT_EQ(client_size(at_144).cy, 840);
}

TEST(SetupGeometry, NavigationItemsAndTheirParts) {
    expect_rect(navigation_item_rect(at_96, 0), 8, 20, 212, 60);
    expect_rect(navigation_item_rect(at_96, 3), 8, 152, 212, 192);
    expect_rect(navigation_item_rect(at_144, 0), 12, 30, 318, 90);
    expect_rect(navigation_item_rect(at_144, 1), 12, 96, 318, 156);
    // Positions built from two lengths add the scaled lengths.
    expect_rect(navigation_glyph_rect(at_144, 0), 12 + 21, 30, 12 + 60, 90);
    expect_rect(navigation_label_rect(at_144, 0), 12 + 66, 30, 318 - 12, 90);
    expect_rect(accent_bar_rect(at_96, 2), 8, 108 + 12, 11, 148 - 12);
    expect_rect(accent_bar_rect(at_144, 0), 12, 30 + 18, 12 + 5, 90 - 18); // 3 × 1.5 = 4.5 → 5
}

TEST(SetupGeometry, HitTestFollowsTheScale) {
    EXPECT_EQ(navigation_item_at(at_96, 8, 20), 0);
    EXPECT_EQ(navigation_item_at(at_96, 211, 59), 0);
    EXPECT_EQ(navigation_item_at(at_96, 7, 30), -1);   // left of the column
    EXPECT_EQ(navigation_item_at(at_96, 212, 30), -1); // right edge is outside
    EXPECT_EQ(navigation_item_at(at_96, 100, 60), -1); // the 4-unit gap between items
    EXPECT_EQ(navigation_item_at(at_96, 100, 64), 1);
    EXPECT_EQ(navigation_item_at(at_96, 100, 191), 3);
    EXPECT_EQ(navigation_item_at(at_96, 100, 192), -1);
    EXPECT_EQ(navigation_item_at(at_96, 100, 19), -1);
    EXPECT_EQ(navigation_item_at(at_96, 100, -5), -1);

    EXPECT_EQ(navigation_item_at(at_144, 12, 30), 0);
    EXPECT_EQ(navigation_item_at(at_144, 317, 89), 0);
    EXPECT_EQ(navigation_item_at(at_144, 11, 30), -1);
    EXPECT_EQ(navigation_item_at(at_144, 318, 30), -1);
    EXPECT_EQ(navigation_item_at(at_144, 100, 90), -1);
    EXPECT_EQ(navigation_item_at(at_144, 100, 96), 1);
    EXPECT_EQ(navigation_item_at(at_144, 100, 150), 1); // item 2 at 96 dpi, item 1 here
    EXPECT_EQ(navigation_item_at(at_144, 100, 287), 3);
    EXPECT_EQ(navigation_item_at(at_144, 100, 288), -1);
}

TEST(SetupGeometry, TitleCardsDotAndRepaintAreas) {
    expect_rect(page_title_rect(at_96), 236, 20, 764, 60);
    expect_rect(page_title_rect(at_144), 354, 30, 1146, 90);

    ASSERT_EQ(page_cards(0).size(), 3u);
    ASSERT_EQ(page_cards(1).size(), 1u);
    ASSERT_EQ(page_cards(2).size(), 4u);
    ASSERT_EQ(page_cards(3).size(), 4u);
    EXPECT_TRUE(page_cards(4).empty());
    expect_rect(scaled_box(at_96, page_cards(0)[1]), 236, 216, 764, 442);
    expect_rect(scaled_box(at_144, page_cards(0)[2]), 354, 681, 354 + 792, 681 + 90);
    expect_rect(scaled_box(at_96, page_cards(3)[3]), 236, 376, 764, 480);

    expect_rect(status_dot_rect(at_96), 256, 101, 270, 115);
    expect_rect(status_dot_rect(at_144), 395 - 11, 162 - 11, 395 + 11, 162 + 11);
    expect_rect(navigation_column_rect(at_144), 0, 0, 330, 840);
    expect_rect(status_dot_area_rect(at_96), 236, 72, 296, 142);
}

} // namespace
