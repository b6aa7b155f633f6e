#pragma once
// Where the Setup window draws: every position is given in logical units (1/96 inch) and
// scaled to pixels here. Pure functions of the scale, so that tests reach them without a window.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr int client_width_units = 780;
inline constexpr int client_height_units = 560;
inline constexpr int navigation_items = 4;

// A logical length in pixels: length × scale rounded to the nearest whole number, halves away
// from zero; a NaN gives 0 and a value beyond the 32-bit range the nearest 32-bit limit.
int px(float scale, double length);

// LOGPIXELSY over 96.
float scale_for_dpi(int dots_per_inch);

// (left, top, right, bottom) in logical units; every edge is scaled on its own.
struct UnitRect {
    int left, top, right, bottom;
};
RECT scaled_rect(float scale, const UnitRect& units);

// (x, y, width, height) in logical units; the far edges are px(x) + px(width), px(y) + px(height).
struct UnitBox {
    int x, y, width, height;
};
RECT scaled_box(float scale, const UnitBox& units);

// The client area: 780 × 560 logical units.
SIZE client_size(float scale);

// Navigation item i (0 to 3) and its parts.
RECT navigation_item_rect(float scale, int item);
RECT navigation_glyph_rect(float scale, int item);
RECT navigation_label_rect(float scale, int item);
RECT accent_bar_rect(float scale, int item);

// The item under a point of the client area (pixels, as signed 16-bit values), or -1.
int navigation_item_at(float scale, int x, int y);

RECT page_title_rect(float scale);

// The cards of a page, as rectangles in their drawing order; none for an unknown page.
std::span<const UnitBox> page_cards(std::uint8_t page);

// A card of the Overview when its first card has grown by `growth` units for its status lines:
// the first card is taller, the others lower.
UnitBox grown_overview_card(UnitBox card, std::size_t index, int growth);

// The status dot's bounding box: centre ± radius.
RECT status_dot_rect(float scale);

// Repainted on hover changes (the navigation column) and on status changes (the dot).
RECT navigation_column_rect(float scale);
RECT status_dot_area_rect(float scale);

// Corner widths of the rounded rectangles.
inline constexpr int card_corner_units = 8;
inline constexpr int accent_corner_units = 3;
inline constexpr int focus_inset_units = 3;
