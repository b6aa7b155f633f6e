#pragma once
// The Setup window's colours: a light and a dark palette of twelve entries, and which entry each
// drawing element and control uses.
#include "svc/status.h"

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

using Palette = std::array<COLORREF, 12>;

// Palette entries by role.
enum PaletteEntry : std::size_t {
    window_background = 0, // also the status line and the progress bar area
    card_background = 1,   // also labels, buttons and check boxes on the cards
    card_outline = 2,
    selected_item = 3, // selected navigation item; pressed owner-drawn button
    hover_item = 4,
    normal_text = 5,
    secondary_text = 6,   // hints, explanations, the neutral status line
    field_background = 7, // edit fields and drop-down lists; owner-drawn button face
    success_colour = 8,
    error_colour = 9,
    transition_colour = 10,
    inactive_colour = 11,
};

const Palette& light_palette();
const Palette& dark_palette();
const Palette& palette_for(bool dark);

// The owner-drawn button's outline, which is not a palette entry.
COLORREF button_outline(bool dark);

// The status dot's colour for a service state.
PaletteEntry status_entry(ServiceStatus status);

// The colour of the status line (control 291).
enum class StatusKind : std::uint8_t { neutral = 0, success = 1, error = 2 };

// Text colour of a child control, by its identifier; the firewall line's follows the rule's
// state, while it is checked (nothing yet) in the secondary colour.
PaletteEntry control_text_entry(int control_id, std::optional<bool> firewall_open,
                                StatusKind status_kind);
// Background of a child control: fields (edit, list) or plain controls.
PaletteEntry control_background_entry(int control_id, bool field);
