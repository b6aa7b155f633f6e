#pragma once
// What the system itself reports about the instance, as text for the support file: the service
// as the Service Control Manager has it, the firewall rule and the tasks as netsh and schtasks
// show them, the TCP connections on the server's port, and the files of a backup folder.
#include <cstdint>
#include <string>

// Binary path, start type, account, failure actions, state, process id and exit codes.
std::string service_configuration_text();

// The program's rule, as `netsh advfirewall firewall show rule ... verbose` answers.
std::string firewall_rule_text();
// Both nightly tasks, as `schtasks /Query /V /FO LIST` answers.
std::string scheduled_tasks_text();

// The IPv4 listeners and established connections on the port, with their process ids.
std::string port_connections_text(std::uint16_t port);

// The files right in the folder by name: last write time, size and name, never their content.
std::string folder_listing_text(const std::string& folder);
