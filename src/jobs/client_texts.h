#pragma once
// How the program speaks of the clients connected to the server, in the current language: in the
// tray's tooltip, in the questions before an action that cuts them off, and in the refusal of a
// mode run with --if-idle.
#include "svc/clients.h"

#include <cstddef>
#include <span>
#include <string>

// "TILL-1, TILL-2, 192.168.1.23, this computer ×2": each client by its name, else its address,
// with "×" and the number of its connections when it has more than one.
std::string client_list_text(std::span<const ConnectedClient> clients);

// "3 registers connected".
std::string registers_connected_text(std::size_t count);

// "3 registers are connected: TILL-1, TILL-2, 192.168.1.23".
std::string registers_busy_text(std::span<const ConnectedClient> clients);

// The actions that cut the registers off.
enum class CutOff { stop, restart, uninstall, restore, save };

// "3 registers are connected (TILL-1, TILL-2, 192.168.1.23). Stopping MySQL disconnects them.
// Stop anyway?", the second sentence and the question fitting the action.
std::string cut_off_question(CutOff action, std::span<const ConnectedClient> clients);
