#include "svc/install.h"

#include "base/child.h"
#include "base/files.h"
#include "base/text.h"
#include "config/settings.h"
#include "config/validation.h"
#include "instance/data_folder.h"
#include "instance/paths.h"
#include "instance/program_folder.h"
#include "svc/backup_settings.h"
#include "svc/client.h"
#include "svc/control.h"
#include "svc/firewall.h"
#include "svc/init.h"
#include "svc/myini.h"
#include "svc/server_upgrade.h"
#include "svc/service.h"
#include "svc/tasks.h"

#include <windows.h>

namespace {

constexpr DWORD failure_reset_seconds = 86400;
constexpr DWORD restart_delay_ms = 60000;

// Creates the service, or points an existing one at this program folder's mysqld.exe and
// my.ini; description and restart-on-failure actions are (re)set either way. Gives a warning when
// Windows refused the restart-on-failure actions: the server runs, but a crash would end it.
Result<std::string> register_service() {
    auto manager = open_scm(SC_MANAGER_CREATE_SERVICE);
    if (!manager) return fail(manager.error());
    const std::wstring name = widen(service_name);
    const std::wstring binary_path = widen(service_binary_path());

    // Restart-on-failure actions need the start right too; with the change right alone Windows
    // refuses them and an older registration would never restart the server after a crash.
    UniqueServiceHandle service(
        OpenServiceW(manager->get(), name.c_str(), SERVICE_CHANGE_CONFIG | SERVICE_START));
    if (service) {
        if (!ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                  SERVICE_NO_CHANGE, binary_path.c_str(), nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr))
            return fail(win32_error_text("ChangeServiceConfig"));
    } else {
        const std::wstring display_name = widen(service_display_name);
        service.reset(CreateServiceW(manager->get(), name.c_str(), display_name.c_str(),
                                     SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                     SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, binary_path.c_str(),
                                     nullptr, nullptr, nullptr, nullptr, nullptr));
        if (!service) return fail(win32_error_text("CreateService"));
    }

    // Only the Services console shows the description: without it nothing works differently.
    std::wstring description = widen(service_description);
    SERVICE_DESCRIPTIONW described{.lpDescription = description.data()};
    (void)ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &described);
    SC_ACTION restart{.Type = SC_ACTION_RESTART, .Delay = restart_delay_ms};
    SC_ACTION actions[] = {restart, restart, restart};
    SERVICE_FAILURE_ACTIONSW on_failure{.dwResetPeriod = failure_reset_seconds,
                                        .lpRebootMsg = nullptr,
                                        .lpCommand = nullptr,
                                        .cActions = 3,
                                        .lpsaActions = actions};
    if (!ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS, &on_failure))
        return "Restart on failure: " + win32_error_text("ChangeServiceConfig2");
    return std::string();
}

Result<ConnectionSettings> choose_settings(const std::optional<std::string>& settings_file,
                                           const std::optional<ConnectionSettings>& previous) {
    if (!settings_file) return previous ? *previous : default_settings();
    return take_settings_file(*settings_file, true);
}

// The steps in order; the first failure ends the install. A failed task only leaves its text in
// `installed`.
Result<void> install_steps(const std::optional<std::string>& settings_file,
                           FirewallChoice firewall, Installed& installed) {
    if (auto folder = check_program_folder(); !folder) return folder;
    const std::string mysqld = mysql_program_path("mysqld.exe");
    if (!path_exists(mysqld)) return fail(mysqld + " not found");
    if (auto secured = secure_data_root(); !secured) return secured;
    if (auto made = make_data_root(); !made) return made;
    // A save cut off before its last step may hold the only copy of a root password.
    settle_interrupted_save();

    const auto previous = load_settings();
    auto chosen = choose_settings(settings_file, previous);
    if (!chosen) return fail(chosen.error());
    ConnectionSettings settings = std::move(*chosen);
    // The root password of an existing server never changes through install.
    if (previous) settings.root_password = previous->root_password;
    // A new server never starts without a root password, whatever a file said ("root / " and
    // nothing after it in an old connection.txt).
    if (settings.root_password.empty() && !data_dir_initialized())
        settings.root_password = random_password(root_password_length);
    if (firewall != FirewallChoice::keep) settings.firewall = firewall == FirewallChoice::on;

    // A settings file brings new values; a repair keeps what connection.ini already holds.
    if (auto valid =
            settings_file ? validate_settings(settings) : validate_stored_settings(settings);
        !valid)
        return valid;
    if (auto bind = check_bind_address(settings.bind); !bind) return bind;
    if (auto root = check_root_password(settings.root_password); !root) return root;

    // The server must be stopped while its configuration and data directory change.
    if (auto stopped = stop_service(); !stopped) return stopped;
    if (auto written = write_my_ini(base_dir(), settings); !written) return written;
    // Saved before a new server is given the root password: whatever cuts the install off from
    // here on, the password it was given is in connection.ini.
    if (auto saved = save_settings(settings); !saved) return saved;
    const bool new_data = !data_dir_initialized();
    if (auto initialized = initialize_data_dir(base_dir(), settings); !initialized)
        return initialized;
    if (new_data) mark_data_upgraded();
    auto registered = register_service();
    if (!registered) return fail(registered.error());
    installed.service_warning = *registered;
    if (auto opened = set_firewall_rule(settings.firewall, settings.port); !opened) return opened;
    if (auto task = register_rotation_task(); !task)
        installed.warning = "Log rotation task: " + task.error();
    // backup.ini outlives a reinstall: its schedule (or its choice of none) is kept.
    if (auto task = schedule_stored_backup(); !task) installed.backup_task_warning = task.error();
    if (auto started = start_service(); !started) return started;
    // A package with another server version: its system tables first, then the account.
    if (auto upgraded = upgrade_server_data(settings.root_password); !upgraded) return upgraded;
    return run_sql_as_root(settings.root_password, account_sql(settings, previous));
}

} // namespace

Result<Installed> install(const std::optional<std::string>& settings_file,
                          FirewallChoice firewall) {
    Installed installed;
    if (auto done = install_steps(settings_file, firewall, installed); !done)
        return fail(done.error());
    return installed;
}

std::chrono::seconds install_time_limit() {
    const ServiceTimeouts waits;
    // icacls for connection.ini, netsh twice and schtasks twice.
    constexpr int tool_runs = 5;
    // mysql_upgrade restarts the server after it.
    const auto server_upgrade = server_upgrade_time_limit + waits.stop + waits.start + waits.port;
    return waits.stop + initialize_time_limit + tool_runs * tool_time_limit + waits.start +
           waits.port + server_upgrade + root_client_time_limit;
}
