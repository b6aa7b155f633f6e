// What installers, monitoring and the operator ask of a running instance: --status (JSON or text
// at a cmd prompt, exit code by state, never a password) and --check-connection (a register's
// login over TCP told apart from a wrong password, a missing database and a closed firewall).
#include "harness.h"
#include "server.h"
#include "setup_window.h"
#include "user_registry.h"

#include "base/child.h"
#include "base/cmdline.h"
#include "base/files.h"
#include "base/system_paths.h"
#include "base/text.h"
#include "config/addresses.h"
#include "instance/paths.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>

using namespace e2e;
using namespace std::chrono_literals;

namespace {

struct Status {
    unsigned long exit_code = 0;
    std::string output;
};

// As a script asks, in the program folder: "<command> --status ...", then %ERRORLEVEL%, which
// the last line of the output gives. For "KeltaMySQL" cmd runs the console companion.
Status status_of(const std::string& program_data, std::vector<std::string> extra = {},
                 const std::string& command = "KeltaMySQL") {
    const std::string script = join_path(program_data, "status.cmd");
    e2e::write_file(script, "@cd /d \"" + app_dir() + "\"\r\n@" + command + " --status " +
                                quote_arguments(extra) + "\r\n@echo rc=%ERRORLEVEL%\r\n");
    auto ran = run_captured({.program = system_tool_path("cmd"),
                             .arguments = {"/c", script},
                             .extra_environment = {{"ProgramData", program_data}}},
                            {}, true);
    const size_t rc = ran ? ran->output.rfind("rc=") : std::string::npos;
    if (rc == std::string::npos) return {99, ran ? ran->output : ran.error()};
    return {std::stoul(ran->output.substr(rc + 3)), ran->output.substr(0, rc)};
}

// A flat JSON object read strictly: each value as its JSON text (strings without their quotes,
// escapes kept; an array, of the clients, as it stands); nothing when the text is not exactly one
// such object.
std::optional<std::map<std::string, std::string>> json_object(const std::string& text) {
    const std::string body = R"re((?:[^"\\\x00-\x1f]|\\["\\/bfnrt]|\\u[0-9a-fA-F]{4})*)re";
    const std::string string = "\"(" + body + ")\"";
    static const std::regex member(R"(\s*)" + string + R"(\s*:\s*(?:)" + string +
                                   R"(|(true|false|null|\d+|\[(?:[^\[\]"]|")" + body +
                                   R"(")*\]))\s*([,}]))");
    std::map<std::string, std::string> fields;
    size_t at = text.find_first_not_of(" \r\n");
    if (at == std::string::npos || text[at++] != '{') return std::nullopt;
    for (std::smatch m;; at += m.length(0)) {
        if (!std::regex_search(text.cbegin() + static_cast<std::ptrdiff_t>(at), text.cend(), m,
                               member, std::regex_constants::match_continuous))
            return std::nullopt;
        fields[m[1]] = m[2].matched ? m[2].str() : m[3].str();
        if (m[4] == "}")
            return text.find_first_not_of(" \r\n", at + m.length(0)) == std::string::npos
                       ? std::optional(fields)
                       : std::nullopt;
    }
}

TEST(StatusMode, JsonAndExitCodeInEveryStateAndNeverAPassword) {
    {
        TestFolder empty;
        const Status missing = status_of(empty.program_data());
        EXPECT_EQ(missing.exit_code, 3u);
        auto json = json_object(missing.output);
        ASSERT_TRUE(json) << missing.output;
        EXPECT_EQ((*json)["service_installed"], "false");
        EXPECT_EQ((*json)["service_state"], "not_installed");
        // A service the Service Control Manager will not tell about: unknown, not missing.
        const Status unknown = status_of(empty.program_data(), {}, "KeltaMySQL-scmdenied");
        EXPECT_EQ(unknown.exit_code, 1u);
        for (const char* key : {"service_installed", "service_state", "accepting_connections"})
            EXPECT_TRUE(unknown.output.contains("\"" + std::string(key) + "\":null,")) << key;
        EXPECT_NE((*json)["free_disk_bytes"], "null"); // of the drive the data folder will be on
    }
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    const auto settings = server.settings();
    const Status running = status_of(server.folder().program_data());
    EXPECT_EQ(running.exit_code, 0u);
    auto json = json_object(running.output);
    ASSERT_TRUE(json) << running.output;
    const std::map<std::string, std::string> expected = {
        {"service_state", "running"}, {"accepting_connections", "true"},
        {"start_type", "automatic"},  {"port", std::to_string(server.port())},
        {"database", "kelta_retail"}, {"user", "kelta_retail"},
        {"firewall_rule", "true"},    {"firewall_port", std::to_string(server.port())},
        {"rotation_task", "true"},    {"register_address", register_address("0.0.0.0")},
        {"diagnosis_code", "null"},   {"version", "1.1.1"},
        {"backup_task", "true"},      {"auto_backup_time", "02:30"},
        {"my_ini_override", "null"},
        {"connected_clients", "0"},   {"clients", "[]"}};
    for (const auto& [key, value] : expected)
        EXPECT_EQ((*json)[key], value) << key;
    EXPECT_NE((*json)["data_size_bytes"], "null");
    EXPECT_NE((*json)["free_disk_bytes"], "null");
    const std::string out = server.folder().path("status.json");
    EXPECT_EQ(status_of(server.folder().program_data(), {"--out", out}).exit_code, 0u);
    EXPECT_TRUE(json_object(e2e::read_file(out))) << e2e::read_file(out);
    force_tool_exit("schtasks", 1, "query"); // as Windows refuses a standard user SYSTEM's tasks
    const std::string tasks =
        status_of(server.folder().program_data(), {}, "KeltaMySQL-unelevated").output;
    EXPECT_TRUE(tasks.contains("\"rotation_task\":null,")) << tasks;
    EXPECT_TRUE(tasks.contains("\"backup_task\":null,"));
    delete_file("C:\\kelta-bench\\force\\schtasks.query.exit");

    // Backups on since 27 hours ago and none came, then their task gone: --status and the
    // Overview under its status warn, and --status gives the task as the scheduler reports it.
    const std::string since = local_time_before(27h);
    e2e::write_file(server.folder().path("backup-state.ini"), "[backup]\r\nswitched_on=" + since);
    const std::string late = "No automatic backup since " + since.substr(0, 16);
    const std::string missing = "The automatic backup task is missing";
    for (const std::string& warning : {late, missing}) {
        if (warning == missing) {
            ASSERT_TRUE(run_hidden(system_tool_path("schtasks"),
                                   {"/Delete", "/TN", "KELTA Retail MySQL Backup", "/F"}));
        }
        json = json_object(status_of(server.folder().program_data()).output);
        ASSERT_TRUE(json);
        EXPECT_EQ((*json)["auto_backup_warning"], warning);
        EXPECT_EQ((*json)["backup_task_result"], warning == late ? "0x00041303" : "null");
        SetupWindow w(server.folder());
        EXPECT_TRUE(eventually([&] { return w.text(225) == warning; })) << w.text(225);
    }

    ASSERT_EQ(server.mode({"--stop"}).exit_code, 0u);
    const Status stopped = status_of(server.folder().program_data(), {"--text"});
    EXPECT_EQ(stopped.exit_code, 4u);
    EXPECT_NE(stopped.output.find("\r\nservice_state:         stopped\r\n"), std::string::npos)
        << stopped.output;
    // The state's code, whatever becomes of the report (here: output that cannot be written).
    EXPECT_EQ(status_of(server.folder().program_data(), {">&0"}).exit_code, 4u);
    EXPECT_TRUE(e2e::read_file(server.folder().path("tray.log")).contains("could not be written"));
    for (const std::string& output : {running.output, stopped.output}) {
        EXPECT_EQ(output.find(settings.password), std::string::npos);
        EXPECT_EQ(output.find(settings.root_password), std::string::npos);
    }

    // A port another group of my.ini sets is where the server listens; --status and the Overview
    // say why it is not the one the program wrote.
    SavedUserValue language(program_key, "Language");
    set_user_string(program_key, "Language", "en");
    const std::string elsewhere = std::to_string(free_tcp_port());
    e2e::write_file(server.folder().path("my.ini"), e2e::read_file(server.folder().path("my.ini")) +
                                                        "[server]\r\nport=" + elsewhere + "\r\n");
    ASSERT_EQ(server.mode({"--start"}).exit_code, 0u);
    const std::string told = "my.ini: [server] sets port=" + elsewhere +
                             ", which the server uses instead of " + std::to_string(server.port());
    json = json_object(status_of(server.folder().program_data()).output);
    ASSERT_TRUE(json);
    EXPECT_EQ((*json)["port"], elsewhere);
    EXPECT_EQ((*json)["my_ini_override"], told);
    SetupWindow w(server.folder());
    ASSERT_TRUE(w.handle());
    EXPECT_TRUE(eventually([&] { return w.text(225) == told; })) << w.text(225);
}

TEST(ConnectionCheck, TellsAWorkingLoginFromWrongPasswordMissingDatabaseAndClosedFirewall) {
    SavedUserValue language(program_key, "Language");
    set_user_string(program_key, "Language", "en");
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    const ConnectionSettings good = server.settings();
    const std::string port = std::to_string(server.port());
    const std::string address = register_address("0.0.0.0");

    // The time is the login's, however long the client program takes to start.
    bench_control("mysql.start-delay", "1500");
    Running check({{"--check-connection"}, {{"ProgramData", server.folder().program_data()}}});
    auto box = take_message_box(check.process_id(), 60s);
    ASSERT_TRUE(box.has_value());
    EXPECT_TRUE(box->information_icon);
    const std::string works =
        "A register can log in to " + address + " port " + port + " (answer in ";
    ASSERT_TRUE(box->text.starts_with(works)) << box->text;
    EXPECT_LT(std::stoi(box->text.substr(works.size())), 1500) << box->text;
    EXPECT_EQ(check.wait(10s), 0u);
    clear_bench_control();
    {
        SetupWindow w(server.folder());
        w.click(235); // Test connection
        EXPECT_TRUE(
            eventually([&] { return w.text(291).starts_with("A register can log in to "); }, 60s))
            << w.text(291);
    }

    auto answer_for = [&](ConnectionSettings settings) {
        EXPECT_TRUE(save_settings(settings).has_value());
        EXPECT_EQ(server.mode({"--check-connection"}).exit_code, 1u);
        return server.log().back();
    };
    ConnectionSettings wrong = good;
    wrong.password = "not-the-password";
    EXPECT_EQ(answer_for(wrong),
              "--check-connection failed: Wrong password: the server refused user kelta_retail.");
    ASSERT_EQ(mysql_as_root("DROP DATABASE kelta_retail;", good.root_password).exit_code, 0);
    EXPECT_EQ(answer_for(good),
              "--check-connection failed: The database kelta_retail does not exist.");
    ASSERT_EQ(mysql_as_root("CREATE DATABASE kelta_retail;", good.root_password).exit_code, 0);
    clear_tool_state(); // Windows Firewall forgets the rule
    EXPECT_EQ(answer_for(good), "--check-connection failed: This computer can log in, but Windows "
                                "Firewall keeps other computers out of port " +
                                    port + ".");

    // The logins went over TCP to the registers' address, the password only in the environment;
    // each is followed by a run that only tells the client's version, which has no password.
    const auto calls = client_calls("mysql");
    ASSERT_GE(calls.size(), 2u);
    for (const auto& call : calls) {
        EXPECT_EQ(call.password_set, call.arguments != std::vector<std::string>{"--version"});
        for (const auto& argument : call.arguments)
            for (const std::string& secret : {good.password, wrong.password, good.root_password})
                EXPECT_EQ(argument.find(secret), std::string::npos);
    }
    EXPECT_EQ(calls[calls.size() - 2].arguments,
              (std::vector<std::string>{"--no-defaults", "--host=" + address, "--port=" + port,
                                        "--protocol=TCP", "--user=kelta_retail",
                                        "--default-character-set=utf8mb4", "--connect-timeout=10",
                                        "--local-infile=0", "kelta_retail"}));

    // Listening on this computer alone, the server lets the test in and the registers not: that,
    // not the firewall, is what the answer names.
    std::string my_ini = e2e::read_file(my_ini_path());
    my_ini.replace(my_ini.find("bind-address=0.0.0.0"), 20, "bind-address=127.0.0.1");
    e2e::write_file(my_ini_path(), my_ini);
    ASSERT_EQ(server.mode({"--restart"}).exit_code, 0u);
    EXPECT_TRUE(answer_for(good).starts_with("--check-connection failed: MySQL listens only on "
                                             "this computer (bind-address 127.0.0.1 in my.ini)"));
}

} // namespace
