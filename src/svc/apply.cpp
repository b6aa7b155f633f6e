#include "svc/apply.h"

#include "config/validation.h"
#include "instance/data_folder.h"
#include "instance/paths.h"
#include "instance/program_folder.h"
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

Result<void> apply(const ConnectionSettings& wanted, ServiceQueryFunction query) {
    if (auto valid = validate_settings(wanted); !valid) return valid;
    if (auto bind = check_bind_address(wanted.bind); !bind) return bind;
    if (auto folder = check_program_folder(); !folder) return folder;
    if (auto secured = secure_data_root(); !secured) return secured;

    const auto previous = load_settings();
    ConnectionSettings settings = wanted;
    // The root password never comes from the caller: the stored one is what the server has, and
    // without a stored one install will give a new server a fresh one. A caller's (the Setup
    // window's, from whatever file it found) would let whoever wrote that file choose it.
    settings.root_password =
        previous ? previous->root_password : random_password(root_password_length);
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

    const bool listening_changed =
        !previous || settings.port != previous->port || settings.bind != previous->bind;
    if (listening_changed) {
        if (auto opened = set_firewall_rule(settings.firewall, settings.port); !opened) return opened;
        if (auto restarted = reconfigure_and_restart(settings); !restarted) return restarted;
    } else {
        const std::uint16_t configured = configured_port();
        if (auto opened = set_firewall_rule(settings.firewall, settings.port); !opened) return opened;
        if (configured != settings.port) {
            if (auto restarted = reconfigure_and_restart(settings); !restarted) return restarted;
        } else if (auto started = start_service(); !started) {
            return started;
        }
    }

    if (auto sql = run_sql_as_root(settings.root_password, account_sql(settings, previous)); !sql)
        return sql;
    // Saved last, so that connection.ini never describes an account the server does not have.
    return save_settings(settings);
}
