// What installers, monitoring and the operator ask of a running instance: --status (JSON or text
// through a pipe, exit code by state, never a password) and --check-connection (a register's
// login over TCP told apart from a wrong password, a missing database and a closed firewall).
#include "harness.h"
#include "server.h"
#include "setup_window.h"
#include "user_registry.h"

#include "base/child.h"
#include "base/text.h"
#include "config/addresses.h"

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

// The program as a monitor runs it: standard output into a pipe.
Status status_of(const std::string& program_data, std::vector<std::string> extra = {}) {
    extra.insert(extra.begin(), "--status");
    ChildProcess status{.program = app_exe(),
                        .arguments = extra,
                        .extra_environment = {{"ProgramData", program_data}}};
    auto ran = run_captured(status, {}, true);
    EXPECT_TRUE(ran.has_value());
    return ran ? Status{ran->exit_code, ran->output} : Status{};
}

// A flat JSON object read strictly: each value as its JSON text (strings without their quotes,
// escapes kept); nothing when the text is not exactly one such object.
std::optional<std::map<std::string, std::string>> json_object(const std::string& text) {
    const std::string string = R"re("((?:[^"\\\x00-\x1f]|\\["\\/bfnrt]|\\u[0-9a-fA-F]{4})*)")re";
    static const std::regex member(R"(\s*)" + string + R"(\s*:\s*(?:)" + string +
                                   R"(|(true|false|null|\d+))\s*([,}]))");
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
        {"backup_task", "true"},      {"auto_backup_time", "02:30"}};
    for (const auto& [key, value] : expected)
        EXPECT_EQ((*json)[key], value) << key;
    EXPECT_NE((*json)["data_size_bytes"], "null");
    EXPECT_NE((*json)["free_disk_bytes"], "null");

    ASSERT_EQ(server.mode({"--stop"}).exit_code, 0u);
    const Status stopped = status_of(server.folder().program_data(), {"--text"});
    EXPECT_EQ(stopped.exit_code, 4u);
    EXPECT_NE(stopped.output.find("\r\nservice_state:         stopped\r\n"), std::string::npos)
        << stopped.output;
    for (const std::string& output : {running.output, stopped.output}) {
        EXPECT_EQ(output.find(settings.password), std::string::npos);
        EXPECT_EQ(output.find(settings.root_password), std::string::npos);
    }
}

TEST(ConnectionCheck, TellsAWorkingLoginFromWrongPasswordMissingDatabaseAndClosedFirewall) {
    SavedUserValue language(program_key, "Language");
    set_user_string(program_key, "Language", "en");
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    const ConnectionSettings good = server.settings();
    const std::string port = std::to_string(server.port());
    const std::string address = register_address("0.0.0.0");

    Running check({{"--check-connection"}, {{"ProgramData", server.folder().program_data()}}});
    auto box = take_message_box(check.process_id(), 60s);
    ASSERT_TRUE(box.has_value());
    EXPECT_TRUE(box->information_icon);
    EXPECT_TRUE(box->text.starts_with("A register can log in to " + address + " port " + port +
                                      " (answer in "))
        << box->text;
    EXPECT_EQ(check.wait(10s), 0u);
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

    // The logins went over TCP to the registers' address, the password only in the environment.
    const auto calls = client_calls("mysql");
    ASSERT_FALSE(calls.empty());
    for (const auto& call : calls) {
        EXPECT_TRUE(call.password_set);
        for (const auto& argument : call.arguments)
            for (const std::string& secret : {good.password, wrong.password, good.root_password})
                EXPECT_EQ(argument.find(secret), std::string::npos);
    }
    EXPECT_EQ(calls.back().arguments,
              (std::vector<std::string>{"--host=" + address, "--port=" + port, "--protocol=TCP",
                                        "--user=kelta_retail", "--default-character-set=utf8mb4",
                                        "--connect-timeout=10", "kelta_retail"}));
}

} // namespace
