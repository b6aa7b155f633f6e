#include "setup/palette.h"

#include "setup/control_ids.h"

#include <algorithm>

namespace {

constexpr Palette light{0xF3F3F3, 0xFBFBFB, 0xE5E5E5, 0xEAEAEA, 0xEEEEEE, 0x1B1B1B,
                        0x616161, 0xFFFFFF, 0x0F7B0F, 0x1C2BC4, 0x005D9D, 0x8A8A8A};
constexpr Palette dark{0x202020, 0x2B2B2B, 0x1D1D1D, 0x2D2D2D, 0x292929, 0xFFFFFF,
                       0xC5C5C5, 0x323232, 0x5FCB6C, 0xA499FF, 0x00E1FC, 0x9A9A9A};

constexpr COLORREF dark_button_outline = 0x4B4B4B;
constexpr COLORREF light_button_outline = 0xD0D0D0;

// Texts drawn in the secondary colour: hints and explanations of every page.
constexpr int secondary_texts[] = {id::detail_line,       id::port_change_hint, id::host_hint,
                                   id::backup_hint,       id::last_backup_line, id::restore_hint,
                                   id::data_location,     id::log_split_hint,   id::copyright_line,
                                   id::network_share_hint};

} // namespace

const Palette& light_palette() {
    return light;
}
const Palette& dark_palette() {
    return dark;
}
const Palette& palette_for(bool is_dark) {
    return is_dark ? dark : light;
}

COLORREF button_outline(bool is_dark) {
    return is_dark ? dark_button_outline : light_button_outline;
}

PaletteEntry status_entry(ServiceStatus status) {
    switch (status) {
    case ServiceStatus::Running:
        return success_colour;
    case ServiceStatus::Stopped:
        return error_colour;
    case ServiceStatus::NotInstalled:
        return inactive_colour;
    case ServiceStatus::Starting:
    case ServiceStatus::Stopping:
    case ServiceStatus::RunningNotAccepting:
        break;
    }
    return transition_colour;
}

PaletteEntry control_text_entry(int control_id, std::optional<bool> firewall_open,
                                StatusKind status_kind) {
    switch (control_id) {
    case id::validation_message:
        return error_colour;
    case id::firewall_line:
        if (!firewall_open) return secondary_text;
        return *firewall_open ? success_colour : error_colour;
    case id::status_line:
        if (status_kind == StatusKind::success) return success_colour;
        if (status_kind == StatusKind::error) return error_colour;
        return secondary_text;
    default:
        break;
    }
    if (std::ranges::find(secondary_texts, control_id) != std::end(secondary_texts))
        return secondary_text;
    return normal_text;
}

PaletteEntry control_background_entry(int control_id, bool field) {
    if (field) return field_background;
    if (control_id == id::progress_bar || control_id == id::status_line) return window_background;
    return card_background;
}
