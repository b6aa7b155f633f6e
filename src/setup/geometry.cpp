#include "setup/geometry.h"

#include <array>
#include <cmath>
#include <limits>

namespace {

constexpr double logical_dpi = 96.0;

constexpr int item_left = 8;
constexpr int item_right = 212;
constexpr int item_first_top = 20;
constexpr int item_height = 40;
constexpr int item_pitch = 44;
constexpr int glyph_from = 14;
constexpr int glyph_to = 40;
constexpr int label_from = 44;
constexpr int label_right_inset = 8;
constexpr int accent_width = 3;
constexpr int accent_inset = 12;

constexpr UnitRect title_units{236, 20, 764, 60};
constexpr int dot_centre_x = 263;
constexpr int dot_centre_y = 108;
constexpr int dot_radius = 7;
constexpr UnitRect column_units{0, 0, 220, 560};
constexpr UnitRect dot_area_units{236, 72, 296, 142};

constexpr std::array<UnitBox, 3> overview_cards{
    {{236, 72, 528, 132}, {236, 216, 528, 226}, {236, 454, 528, 60}}};
constexpr std::array<UnitBox, 1> connection_cards{{{236, 72, 528, 424}}};
constexpr std::array<UnitBox, 4> backup_cards{
    {{236, 72, 528, 86}, {236, 166, 528, 170}, {236, 344, 528, 104}, {236, 456, 528, 48}}};
constexpr std::array<UnitBox, 4> general_cards{
    {{236, 72, 528, 104}, {236, 188, 528, 60}, {236, 260, 528, 104}, {236, 376, 528, 104}}};

int item_top(int item) {
    return item_first_top + item_pitch * item;
}

} // namespace

int px(float scale, double length) {
    double value = std::round(length * static_cast<double>(scale)); // halves away from zero
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

float scale_for_dpi(int dots_per_inch) {
    return static_cast<float>(dots_per_inch / logical_dpi);
}

RECT scaled_rect(float scale, const UnitRect& u) {
    return {px(scale, u.left), px(scale, u.top), px(scale, u.right), px(scale, u.bottom)};
}

RECT scaled_box(float scale, const UnitBox& u) {
    int left = px(scale, u.x), top = px(scale, u.y);
    return {left, top, left + px(scale, u.width), top + px(scale, u.height)};
}

SIZE client_size(float scale) {
    return {px(scale, client_width_units), px(scale, client_height_units)};
}

RECT navigation_item_rect(float scale, int item) {
    return scaled_rect(scale,
                       {item_left, item_top(item), item_right, item_top(item) + item_height});
}

RECT navigation_glyph_rect(float scale, int item) {
    RECT r = navigation_item_rect(scale, item);
    int left = r.left;
    r.left = left + px(scale, glyph_from);
    r.right = left + px(scale, glyph_to);
    return r;
}

RECT navigation_label_rect(float scale, int item) {
    RECT r = navigation_item_rect(scale, item);
    r.left += px(scale, label_from);
    r.right -= px(scale, label_right_inset);
    return r;
}

RECT accent_bar_rect(float scale, int item) {
    RECT r = navigation_item_rect(scale, item);
    r.right = r.left + px(scale, accent_width);
    r.top += px(scale, accent_inset);
    r.bottom -= px(scale, accent_inset);
    return r;
}

int navigation_item_at(float scale, int x, int y) {
    if (x < px(scale, item_left) || x >= px(scale, item_right)) return -1;
    for (int item = 0; item < navigation_items; ++item) {
        if (y >= px(scale, item_top(item)) && y < px(scale, item_top(item) + item_height))
            return item;
    }
    return -1;
}

RECT page_title_rect(float scale) {
    return scaled_rect(scale, title_units);
}

std::span<const UnitBox> page_cards(std::uint8_t page) {
    switch (page) {
    case 0:
        return overview_cards;
    case 1:
        return connection_cards;
    case 2:
        return backup_cards;
    case 3:
        return general_cards;
    default:
        return {};
    }
}

UnitBox grown_overview_card(UnitBox card, std::size_t index, int growth) {
    if (index == 0)
        card.height += growth;
    else
        card.y += growth;
    return card;
}

RECT status_dot_rect(float scale) {
    int cx = px(scale, dot_centre_x), cy = px(scale, dot_centre_y), r = px(scale, dot_radius);
    return {cx - r, cy - r, cx + r, cy + r};
}

RECT navigation_column_rect(float scale) {
    return scaled_rect(scale, column_units);
}

RECT status_dot_area_rect(float scale) {
    return scaled_rect(scale, dot_area_units);
}
