#pragma once
// Every text and button rule of the Overview page as plain functions of the state they show.
#include "config/settings.h"
#include "svc/clients.h"
#include "svc/start_type.h"
#include "svc/status.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The status text beside the dot (control 230), translated.
std::string_view status_text(ServiceStatus status);

// "Port 3307  ·  Server IP 192.168.1.5  ·  Starts with Windows"; empty when not installed.
std::string detail_line(ServiceStatus status, std::uint16_t configured_port,
                        std::string_view server, StartType start_type);

// The password as shown on the Overview: itself when visible, else one "●" per character, at
// most 12.
std::string password_display(std::string_view password, bool visible);

// What the registers paste: "Server=…;Port=…;Database=…;User=…;Password=…;" with the real password.
std::string connection_string(const ConnectionSettings& settings, std::string_view server);

// The firewall line (control 246) for the port of the settings; "checking…" while the rule's
// state is not known yet.
std::string firewall_line(std::optional<bool> firewall_open, std::uint16_t port);
// The firewall line when netsh could not tell whether the rule is there.
std::string_view firewall_unknown_line();

// Which service buttons the state allows.
struct ServiceButtons {
    bool shown = false; // Start, Stop and Restart exist only for an installed service
    bool start = false;
    bool stop = false;
    bool restart = false;
};
ServiceButtons service_buttons(ServiceStatus status);

// "Install service" for a missing service, else "Uninstall service".
std::string_view install_button_text(ServiceStatus status);
// Open port is offered for an installed service whose firewall rule was found missing.
bool open_port_offered(ServiceStatus status, std::optional<bool> firewall_open);
// The warning beside the page title is shown for an installed service whose nightly rotation
// task was found missing.
bool rotation_task_warned(ServiceStatus status, std::optional<bool> rotation_task_present);

// "Connected now: 3 — TILL-1, TILL-2, 192.168.1.23", or "No register connected"; empty until
// the first reading has come.
std::string connected_line(const std::optional<std::vector<ConnectedClient>>& clients);

// The uninstall question, ending with the data folder that stays.
std::string uninstall_question(std::string_view data_folder);
