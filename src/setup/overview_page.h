#pragma once
// The Overview page (page 0): service state and buttons, the connection information for the
// registers with the computers connected now, and the firewall line.
#include "svc/start_type.h"

#include <windows.h>

#include <string_view>

void create_overview_controls(HWND window);

// The font of the status text: the status font, else the section font, else the body font,
// the first in which the text fits the line. The longer states ("running but not accepting
// connections yet") are wider than the card in the status font in every language but Chinese,
// and in French and Spanish in the section font too.
HFONT status_text_font(HWND window, std::string_view text);

// Recomputes every text and button state of the page from the service as just queried.
void refresh_overview(HWND window, const ServiceView& service);
// The line of the computers connected now, from the last reading.
void show_connected_clients(HWND window);

// A click on one of the page's buttons; false when the identifier is not the page's.
bool handle_overview_command(HWND window, int control_id);
