#include "svc/apply.h"

#include "config/validation.h"
#include "instance/data_folder.h"
#include "instance/paths.h"
#include "svc/client.h"
#include "svc/control.h"
#include "svc/firewall.h"
#include "svc/init.h"
#include "svc/myini.h"
#include "svc/start_failure.h"
#include "svc/status.h"

namespace {

// my.ini gets the new port and address, and the server restarts to listen there.
Result<void> reconfigure_and_restart(const ConnectionSettings& settings) {
    if (auto written = write_my_ini(base_dir(), settings); !written) return written;
    return restart_service();
}

} // namespace

bool apply_restarts(const std::optional<ConnectionSettings>& previous,
                    const ConnectionSettings& wanted, std::uint16_t configured_port) {
    return !previous || wanted.port != previous->port || wanted.bind != previous->bind ||
           wanted.port != configured_port;
}

Result<void> apply(const ConnectionSettings& wanted, ServiceQueryFunction query) {
    if (auto valid = validate_settings(wanted); !valid) return valid;
    if (auto bind = check_bind_address(wanted.bind); !bind) return bind;
    if (auto secured = secure_data_root(); !secured) return secured;

    const auto previous = load_settings();
    ConnectionSettings settings = wanted;
    // The root password is never changed here: the stored one is what the server has.
    if (previous) settings.root_password = previous->root_password;
    if (auto root = check_root_password(settings.root_password); !root) return root;

    // Only a service that is really missing takes the path that saves without touching the
    // server: one that could not be asked may well exist, and connection.ini would then describe
    // an account the server does not have.
    auto service = query();
    if (!service) return fail(service.error());
    if (!service->installed) return save_settings(settings);

    // A new port that another program holds would fail only after the server has stopped; this
    // way it keeps running on its old port.
    const bool port_moves =
        (!previous || settings.port != previous->port) && settings.port != configured_port();
    if (port_moves)
        if (auto holder = port_holder(settings.bind, settings.port))
            return fail(diagnosis_text(port_diagnosis(settings.port, holder), current_language()));

    const bool restarts = apply_restarts(previous, settings, configured_port());
    if (auto opened = set_firewall_rule(settings.firewall, settings.port); !opened) return opened;
    if (restarts) {
        if (auto restarted = reconfigure_and_restart(settings); !restarted) return restarted;
    } else if (auto started = start_service(); !started) {
        return started;
    }

    if (auto sql = run_sql_as_root(settings.root_password, account_sql(settings, previous)); !sql)
        return sql;
    // Saved last, so that connection.ini never describes an account the server does not have.
    return save_settings(settings);
}
