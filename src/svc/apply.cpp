#include "svc/apply.h"

#include "base/files.h"
#include "config/validation.h"
#include "i18n/tr.h"
#include "instance/data_folder.h"
#include "instance/paths.h"
#include "instance/program_folder.h"
#include "svc/client.h"
#include "svc/control.h"
#include "svc/firewall.h"
#include "svc/firewall_state.h"
#include "svc/init.h"
#include "svc/myini.h"
#include "svc/start_failure.h"
#include "svc/status.h"

namespace {

// What apply has touched so far, and my.ini as it was: a failure later on puts these back, so
// that the server never runs with settings connection.ini does not hold.
struct Touched {
    std::optional<std::string> my_ini_before; // the file's bytes, when it could be read
    bool firewall_rule = false;
    bool my_ini = false;
    bool account = false; // the account SQL was sent, and may have run in part
};

bool firewall_differs(const ConnectionSettings& settings,
                      const std::optional<ConnectionSettings>& previous) {
    return !previous || settings.firewall != previous->firewall || settings.port != previous->port;
}

// The firewall rule, my.ini and a restart when the server must listen elsewhere (or my.ini
// disagrees with the settings), the account inside the server, and connection.ini last.
Result<void> apply_steps(const ConnectionSettings& settings,
                         const std::optional<ConnectionSettings>& previous, Touched& touched) {
    // Only [mysqld] is the program's to write: a port another group sets would make every apply
    // restart the server for nothing.
    const bool rewrite = apply_restarts(previous, settings, written_port());

    touched.firewall_rule = firewall_differs(settings, previous);
    if (auto opened = set_firewall_rule(settings.firewall, settings.port); !opened) {
        touched.firewall_rule = true;
        return opened;
    }
    if (rewrite) {
        touched.my_ini = true;
        if (auto written = write_my_ini(base_dir(), settings); !written) return written;
        if (auto restarted = restart_service(); !restarted) return restarted;
    } else if (auto started = start_service(); !started) {
        return started;
    }
    touched.account = true;
    if (auto sql = run_sql_as_root(settings.root_password, account_sql(settings, previous)); !sql)
        return sql;
    // Saved last, so that connection.ini never describes an account the server does not have.
    return save_settings(settings);
}

// A rule the failed step never got to change is left alone: netsh may still refuse to touch it.
bool rule_as_before(const ConnectionSettings& previous) {
    const auto now = firewall_state(previous.port);
    return now && now->present == previous.firewall &&
           (!previous.firewall || now->port == previous.port);
}

// my.ini as it was and the server on it again, the previous account, the previous rule. Each
// part is tried whatever became of the others; the answer names the parts that failed.
Result<void> put_back(const ConnectionSettings& settings,
                      const std::optional<ConnectionSettings>& previous, const Touched& touched) {
    std::string failed;
    auto note = [&](const Result<void>& part) {
        if (!part) failed += (failed.empty() ? "" : "; ") + part.error();
        return part.has_value();
    };
    bool server_back = true;
    if (touched.my_ini) {
        const Result<void> written =
            touched.my_ini_before ? replace_file_contents(my_ini_path(), *touched.my_ini_before)
            : previous            ? write_my_ini(base_dir(), *previous)
                                  : Result<void>{};
        server_back = note(written) && note(restart_service());
    }
    if (touched.account && previous && server_back && note(start_service()))
        note(run_sql_as_root(settings.root_password, account_sql(*previous, settings)));
    if (touched.firewall_rule && previous && !rule_as_before(*previous))
        note(set_firewall_rule(previous->firewall, previous->port));
    if (failed.empty()) return {};
    return fail(failed);
}

std::string with_put_back(const std::string& failure, const Result<void>& put_back) {
    std::string text = failure + "\n";
    if (put_back)
        return text.append(tr("The previous settings are back in place.", "之前的设置已恢复。"));
    text.append(tr("Putting the previous settings back failed too:", "恢复之前的设置也失败了："));
    return text.append(" ").append(put_back.error());
}

} // namespace

bool apply_restarts(const std::optional<ConnectionSettings>& previous,
                    const ConnectionSettings& wanted, std::uint16_t mysqld_port) {
    return !previous || wanted.port != previous->port || wanted.bind != previous->bind ||
           wanted.port != mysqld_port;
}

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

    Touched touched;
    if (auto before = read_file(my_ini_path())) touched.my_ini_before = std::move(*before);
    auto applied = apply_steps(settings, previous, touched);
    if (applied) return applied;
    return fail(with_put_back(applied.error(), put_back(settings, previous, touched)));
}
