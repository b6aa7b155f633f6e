// The Connection page of the real program against the bench's MySQL 5.7 service: what Save
// changes really reaches the server through the apply job (a new password that the registers
// then log in with, a new port the server then listens on, the firewall rule).
#include "harness.h"
#include "server.h"
#include "setup_window.h"
#include "user_registry.h"

#include <gtest/gtest.h>

using namespace e2e;
using namespace std::chrono_literals;

namespace {

const std::string saved_message =
    "Settings saved. The registers connect with the information on the Overview page.";
constexpr auto job_limit = 150s;

constexpr int port_edit = 201;
constexpr int password_edit = 204;
constexpr int generate = 210;
constexpr int save = 212;
constexpr int undo = 213;
constexpr int firewall_box = 214;
constexpr int port_field = 241;
constexpr int password_field = 244;
constexpr int firewall_line = 246;
constexpr int status_line = 291;

class ConnectionPage : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server_.installed());
        set_user_string(program_key, "Language", "en");
    }

    // Clicks Save and waits for the apply job's success.
    void save_and_wait(SetupWindow& w) {
        w.click(save);
        EXPECT_TRUE(eventually([&] { return !w.window_enabled(); }, 10s));
        ASSERT_TRUE(eventually([&] { return w.text(status_line) == saved_message; }, job_limit))
            << w.text(status_line);
        EXPECT_TRUE(eventually([&] { return w.window_enabled(); }));
    }

    SavedUserValue language_{program_key, "Language"};
    InstalledServer server_;
};

TEST_F(ConnectionPage, AGeneratedPasswordIsWhatTheRegistersLogInWithAfterSave) {
    const ConnectionSettings before = server_.settings();
    e2e::write_file("C:\\kelta-bench\\force\\netsh.show.delay", "5");
    SetupWindow w(server_.folder(), {"connection"});
    ASSERT_TRUE(w.handle());
    // The rule's state arrives after the window shows; until then an edit cannot be saved, as
    // the Save would close the port.
    EXPECT_FALSE(w.checked(firewall_box));
    w.click(generate);
    ASSERT_TRUE(eventually([&] { return w.text(password_edit) != before.password; }));
    EXPECT_FALSE(w.enabled(save));
    // The installer opened it; netsh answers after its five seconds, and a loaded machine adds
    // its own.
    EXPECT_TRUE(eventually([&] { return w.checked(firewall_box); }, 20s));
    const std::string password = w.text(password_edit);
    EXPECT_EQ(password.size(), 16u);
    EXPECT_TRUE(eventually([&] { return w.enabled(save) && w.enabled(undo); }));
    w.screenshot("setup-connection-generated");

    save_and_wait(w);
    EXPECT_EQ(server_.settings().password, password);
    EXPECT_EQ(query_over_tcp(before.user, password, server_.port(), "SELECT 1").exit_code, 0);
    EXPECT_NE(query_over_tcp(before.user, before.password, server_.port(), "SELECT 1").exit_code,
              0);
    // The saved values are the new baseline, and the Overview shows them.
    EXPECT_TRUE(eventually([&] { return !w.enabled(save) && !w.enabled(undo); }));
    EXPECT_EQ(w.text(password_field), password);
}

TEST_F(ConnectionPage, ANewPortWithAPlusSignMovesTheServer) {
    const ConnectionSettings before = server_.settings();
    const unsigned short new_port = free_tcp_port();
    SetupWindow w(server_.folder(), {"connection"});
    ASSERT_TRUE(w.handle());
    std::string typed(1, '+');
    typed += std::to_string(new_port);
    w.paste(port_edit, typed);
    ASSERT_TRUE(eventually([&] { return w.enabled(save); }));

    save_and_wait(w);
    EXPECT_EQ(server_.settings().port, new_port);
    EXPECT_TRUE(tcp_listener(new_port));
    EXPECT_FALSE(tcp_listener(server_.port()));
    EXPECT_EQ(query_over_tcp(before.user, before.password, new_port, "SELECT 1").exit_code, 0);
    EXPECT_EQ(w.text(port_edit), std::to_string(new_port));
    EXPECT_EQ(w.text(port_field), std::to_string(new_port));
    EXPECT_TRUE(eventually([&] {
        return w.text(firewall_line) ==
               "Windows Firewall: open for other computers, port " + std::to_string(new_port);
    })) << w.text(firewall_line);
}

// A netsh that cannot tell is no closed port: the box keeps the stored choice, and a Save neither
// asks to open the port nor, on a No, removes the rule.
TEST_F(ConnectionPage, ARuleNetshCannotTellAboutIsLeftAsItIs) {
    force_tool_exit("netsh", 5, "show");
    SetupWindow w(server_.folder(), {"connection"});
    ASSERT_TRUE(w.handle());
    ASSERT_TRUE(eventually([&] {
        return w.text(firewall_line) == "Windows Firewall: could not be checked";
    })) << w.text(firewall_line);
    EXPECT_TRUE(w.checked(firewall_box));
    w.click(generate);
    ASSERT_TRUE(eventually([&] { return w.enabled(save); }));
    save_and_wait(w);
    EXPECT_TRUE(server_.settings().firewall);
    EXPECT_EQ(lines_of(e2e::read_file("C:\\kelta-bench\\state\\netsh.txt")).size(), 1u);
}

TEST_F(ConnectionPage, SavingWithThePortClosedAsksAndNoClosesTheRule) {
    SetupWindow w(server_.folder(), {"connection"});
    ASSERT_TRUE(w.handle());
    ASSERT_TRUE(eventually([&] { return w.checked(firewall_box); }));
    w.click(firewall_box);
    ASSERT_TRUE(eventually([&] { return w.enabled(save); }));
    clear_tool_state();

    w.click(save);
    auto question = wait_for_message_box(w.process_id());
    ASSERT_TRUE(question.has_value());
    EXPECT_EQ(question->text, "Windows Firewall will block port " + std::to_string(server_.port()) +
                                  ", so the other registers cannot connect to this database.\n\n"
                                  "Open the port in Windows Firewall now?");
    question->answer(IDNO);
    ASSERT_TRUE(eventually([&] { return w.text(status_line) == saved_message; }, job_limit))
        << w.text(status_line);
    EXPECT_FALSE(server_.settings().firewall);
    bool deleted = false, added = false;
    for (const auto& call : tool_calls("netsh")) {
        for (const auto& argument : call) {
            deleted = deleted || argument == "delete";
            added = added || argument == "add";
        }
    }
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(added);
    // The page loads the real rule state: closed, and clean.
    EXPECT_TRUE(eventually([&] { return !w.checked(firewall_box) && !w.enabled(save); }));
}

} // namespace
