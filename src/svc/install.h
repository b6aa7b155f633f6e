#pragma once
// Install: from a copied program folder to a running, reachable database server.
#include "app/cli.h"
#include "app/result.h"

#include <optional>
#include <string>

Result<void> install(const std::optional<std::string>& settings_file, FirewallChoice firewall);
