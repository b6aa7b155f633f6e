#include "setup/painting.h"

#include "base/handles.h"
#include "base/text.h"
#include "i18n/tr.h"
#include "setup/controls.h"
#include "setup/geometry.h"
#include "setup/page_names.h"
#include "setup/state.h"

#include <algorithm>

namespace {

constexpr WORD missing_glyph = 0xFFFF; // GetGlyphIndicesW with GGI_MARK_NONEXISTING_GLYPHS

// A rounded rectangle filled with one colour and outlined in another (1-pixel pen).
void rounded_rect(HDC dc, const RECT& r, int corner, COLORREF fill, COLORREF outline) {
    UniqueBrush brush(CreateSolidBrush(fill));
    UniquePen pen(CreatePen(PS_SOLID, 1, outline));
    SelectedObject with_brush(dc, brush.get());
    SelectedObject with_pen(dc, pen.get());
    RoundRect(dc, r.left, r.top, r.right, r.bottom, corner, corner);
}

void ellipse(HDC dc, const RECT& r, COLORREF colour) {
    UniqueBrush brush(CreateSolidBrush(colour));
    UniquePen pen(CreatePen(PS_SOLID, 1, colour));
    SelectedObject with_brush(dc, brush.get());
    SelectedObject with_pen(dc, pen.get());
    Ellipse(dc, r.left, r.top, r.right, r.bottom);
}

// Text never treats "&" as a mnemonic prefix.
void text_in(HDC dc, std::wstring_view text, RECT r, HFONT font, COLORREF colour, UINT format) {
    SelectedObject with_font(dc, font);
    SetTextColor(dc, colour);
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &r, format | DT_NOPREFIX);
}

// Windows 10 and 11 always have their icon font; where it is missing (Wine) the glyph would show
// as an empty box, so it is left out.
void glyph_in(HDC dc, wchar_t glyph, RECT r, HFONT font, COLORREF colour) {
    SelectedObject with_font(dc, font);
    WORD index = 0;
    if (GetGlyphIndicesW(dc, &glyph, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR ||
        index == missing_glyph)
        return;
    SetTextColor(dc, colour);
    DrawTextW(dc, &glyph, 1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

// One line when the page name fits, else two lines centred in the item ("Sauvegarde et
// restauration" is wider than the column), and an ellipsis only beyond that.
void navigation_label_in(HDC dc, std::wstring_view text, RECT r, HFONT font, COLORREF colour) {
    SelectedObject with_font(dc, font);
    SIZE one_line{};
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &one_line);
    if (one_line.cx <= r.right - r.left) {
        text_in(dc, text, r, font, colour, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
        return;
    }
    RECT needed{r.left, 0, r.right, 0};
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    const int height = needed.bottom - needed.top;
    if (height < r.bottom - r.top) r.top += (r.bottom - r.top - height) / 2;
    text_in(dc, text, r, font, colour, DT_WORDBREAK | DT_END_ELLIPSIS);
}

void draw_navigation(HDC dc, const SetupUiState& state) {
    const float s = state.scale;
    const int corner = px(s, card_corner_units);
    for (int item = 0; item < navigation_items; ++item) {
        const RECT r = navigation_item_rect(s, item);
        if (item == state.current_page) {
            rounded_rect(dc, r, corner, state.colour(selected_item), state.colour(selected_item));
            rounded_rect(dc, accent_bar_rect(s, item), px(s, accent_corner_units), state.accent,
                         state.accent);
        } else if (item == state.hover_tab) {
            rounded_rect(dc, r, corner, state.colour(hover_item), state.colour(hover_item));
        }
        const PageName& name = page_name(item);
        glyph_in(dc, name.glyph, navigation_glyph_rect(s, item), state.fonts->icon.get(),
                 state.colour(normal_text));
        navigation_label_in(dc, widen(tr(name.english, name.chinese)),
                            navigation_label_rect(s, item), state.fonts->body.get(),
                            state.colour(normal_text));
    }
}

void draw_page(HDC dc, const SetupUiState& state) {
    const float s = state.scale;
    const PageName& name = page_name(state.current_page);
    text_in(dc, widen(tr(name.english, name.chinese)), page_title_rect(s), state.fonts->title.get(),
            state.colour(normal_text), DT_SINGLELINE | DT_VCENTER);
    const auto cards = page_cards(state.current_page);
    for (std::size_t i = 0; i < cards.size(); ++i) {
        const UnitBox card = state.current_page == page::overview
                                 ? grown_overview_card(cards[i], i, state.overview_growth)
                                 : cards[i];
        rounded_rect(dc, scaled_box(s, card), px(s, card_corner_units),
                     state.colour(card_background), state.colour(card_outline));
    }
    if (state.current_page == page::overview)
        ellipse(dc, status_dot_rect(s), state.colour(status_entry(state.shown_status)));
}

} // namespace

void paint_frame(HWND window, HDC dc) {
    SetupUiState& state = setup_state(window);
    RECT client{};
    GetClientRect(window, &client);
    UniqueMemoryDc memory(CreateCompatibleDC(dc));
    UniqueBitmap bitmap(CreateCompatibleBitmap(dc, client.right, client.bottom));
    if (!memory || !bitmap) return;
    SelectedObject with_bitmap(memory.get(), bitmap.get());
    SetBkMode(memory.get(), TRANSPARENT);
    FillRect(memory.get(), &client, background_brush(state, state.colour(window_background)));
    if (state.fonts) {
        draw_navigation(memory.get(), state);
        draw_page(memory.get(), state);
    }
    BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
}

void draw_install_button(HWND window, const DRAWITEMSTRUCT& item) {
    SetupUiState& state = setup_state(window);
    HDC dc = item.hDC;
    const RECT& r = item.rcItem;
    FillRect(dc, &r, background_brush(state, state.colour(card_background)));
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    rounded_rect(dc, r, px(state.scale, card_corner_units),
                 state.colour(pressed ? selected_item : field_background),
                 button_outline(state.dark));

    PaletteEntry text_colour =
        state.shown_status == ServiceStatus::NotInstalled ? success_colour : error_colour;
    if (item.itemState & ODS_DISABLED) text_colour = inactive_colour;
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(item.hwndItem)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        std::max(0, GetWindowTextW(item.hwndItem, text.data(), static_cast<int>(text.size())))));
    SetBkMode(dc, TRANSPARENT);
    if (state.fonts)
        text_in(dc, text, r, state.fonts->body.get(), state.colour(text_colour),
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);

    if (item.itemState & ODS_FOCUS) {
        RECT focus = r;
        const int inset = px(state.scale, focus_inset_units);
        InflateRect(&focus, -inset, -inset);
        DrawFocusRect(dc, &focus);
    }
}
