#pragma once
// Install: from a copied program folder to a running, reachable database server.
#include "base/result.h"

#include <chrono>
#include <optional>
#include <string>

// What install does with the firewall setting: keep the settings' choice, or open or close.
enum class FirewallChoice { keep, on, off };

// A successful install, with the failures of the steps that do not undo it: the nightly
// rotation task ("Log rotation task: <reason>"), the nightly backup task ("Backup task:
// <reason>") and the service's restart after a crash ("Restart on failure: <reason>"). The
// registers need the server, not these, so a working server is not given up for them; empty when
// every step worked.
struct Installed {
    std::string warning;
    std::string backup_task_warning;
    std::string service_warning;
};

Result<Installed> install(const std::optional<std::string>& settings_file, FirewallChoice firewall);

// The longest an install can take: the limits of its waits and child programs added up.
std::chrono::seconds install_time_limit();
