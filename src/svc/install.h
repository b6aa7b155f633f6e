#pragma once
// Install: from a copied program folder to a running, reachable database server.
#include "base/result.h"

#include <optional>
#include <string>

// What install does with the firewall setting: keep the settings' choice, or open or close.
enum class FirewallChoice { keep, on, off };

Result<void> install(const std::optional<std::string>& settings_file, FirewallChoice firewall);
