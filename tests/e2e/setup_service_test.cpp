// The Overview against the bench's MySQL 5.7 service: every service state as the window shows
// it, and the Start, Stop, Restart, Install, Uninstall and Open port buttons really changing the
// service, the window busy while their job runs.
#include "harness.h"
#include "setup_window.h"
#include "user_registry.h"

#include "base/child.h"
#include "base/handles.h"
#include "base/text.h"
#include "config/addresses.h"
#include "config/settings.h"
#include "svc/service.h"

#include <gtest/gtest.h>

using namespace e2e;
using namespace std::chrono_literals;

namespace {

const std::string personalize = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

constexpr POINT dot{263, 108};
constexpr DWORD green_dot = 0x0F7B0F;
constexpr DWORD red_dot = 0xC42B1C;
constexpr DWORD amber_dot = 0x9D5D00;
constexpr DWORD grey_dot = 0x8A8A8A;

constexpr auto job_limit = 150s; // a stop may take the server's whole shutdown

unsigned long service_state() {
    auto query = query_service();
    return query && query->installed ? query->state : 0;
}

// Starts the service the way Windows would, without waiting for the port as the program does.
void start_through_the_service_manager() {
    UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueServiceHandle service(OpenServiceW(manager.get(), L"KeltaMySQL57", SERVICE_START));
    ASSERT_TRUE(service.valid());
    ASSERT_TRUE(StartServiceW(service.get(), 0, nullptr)) << last_error_text();
}

class SetupService : public ::testing::Test {
  protected:
    void SetUp() override {
        set_user_string(program_key, "Language", "en");
        delete_user_value(personalize, "AppsUseLightTheme");
        clear_tool_state();
        clear_bench_control();
        remove_service("KeltaMySQL57");
        port_ = free_tcp_port();
    }

    void TearDown() override {
        clear_bench_control();
        remove_service("KeltaMySQL57");
    }

    // What an installer does: install with a settings file on a free port.
    void install(bool firewall = true) {
        const std::string config = folder_.program_data() + "\\install.ini";
        write_file(config, "[connection]\r\nport=" + std::to_string(port_) +
                               "\r\nfirewall=" + (firewall ? "true" : "false") + "\r\n");
        auto finished = run({{"--install", "--quiet", "--config", config},
                             {{"ProgramData", folder_.program_data()}}});
        ASSERT_EQ(finished.exit_code, 0u) << read_file(folder_.path("tray.log"));
        ASSERT_EQ(service_state(), static_cast<unsigned long>(SERVICE_RUNNING));
    }

    void run_mode(const std::string& mode) {
        auto finished = run({{mode, "--quiet"}, {{"ProgramData", folder_.program_data()}}});
        ASSERT_EQ(finished.exit_code, 0u) << mode << ": " << read_file(folder_.path("tray.log"));
    }

    std::string detail(const std::string& start_type) const {
        return "Port " + std::to_string(port_) + "  \u00B7  Server IP " +
               register_address("0.0.0.0") + "  \u00B7  " + start_type;
    }

    // Clicks a button whose job runs long enough to be seen: the window goes busy with the
    // marquee, then comes back with the job's text in the status line.
    void click_and_see_the_job(SetupWindow& w, int button, const std::string& success,
                               const std::string& screenshot = "") {
        w.click(button);
        EXPECT_TRUE(eventually([&] { return !w.window_enabled() && w.visible(290); }, 10s))
            << "button " << button;
        EXPECT_EQ(w.text(291), "Working, please wait...");
        if (!screenshot.empty()) w.screenshot(screenshot);
        EXPECT_TRUE(eventually([&] { return w.text(291) == success; }, job_limit)) << w.text(291);
        EXPECT_TRUE(eventually([&] { return w.window_enabled() && !w.visible(290); }, 5s));
        EXPECT_TRUE(eventually([&] { return w.count_pixels(w.control_rect(291), greenish) > 20; }));
    }

    TestFolder folder_;
    SavedUserValue language_{program_key, "Language"};
    SavedUserValue theme_{personalize, "AppsUseLightTheme"};
    unsigned short port_ = 0;
};

TEST_F(SetupService, StopStartAndRestartThroughTheButtons) {
    install();
    SetupWindow w(folder_);
    ASSERT_TRUE(w.handle());

    // Running: green dot, Start disabled, Stop and Restart enabled, Uninstall in red.
    ASSERT_TRUE(eventually([&] { return w.pixel(dot.x, dot.y) == green_dot; }));
    EXPECT_EQ(w.text(230), "MySQL is running");
    EXPECT_EQ(w.text(231), detail("Starts with Windows"));
    EXPECT_FALSE(w.enabled(232));
    EXPECT_TRUE(w.enabled(233));
    EXPECT_TRUE(w.enabled(234));
    EXPECT_EQ(w.text(239), "Uninstall service");
    EXPECT_GT(w.count_pixels(w.control_rect(239), reddish), 20);
    EXPECT_TRUE(eventually([&] {
        return w.text(246) ==
               "Windows Firewall: open for other computers, port " + std::to_string(port_);
    }));
    EXPECT_TRUE(eventually([&] { return w.count_pixels(w.control_rect(246), greenish) > 20; }));
    EXPECT_FALSE(w.visible(247));
    w.screenshot("setup-overview-running");

    // Stop: the service really stops; red dot, only Start enabled.
    click_and_see_the_job(w, 233, "MySQL stopped", "setup-overview-busy");
    EXPECT_EQ(service_state(), static_cast<unsigned long>(SERVICE_STOPPED));
    EXPECT_TRUE(eventually([&] { return w.pixel(dot.x, dot.y) == red_dot; }));
    EXPECT_EQ(w.text(230), "MySQL is stopped");
    EXPECT_TRUE(w.enabled(232));
    EXPECT_FALSE(w.enabled(233));
    EXPECT_FALSE(w.enabled(234));
    EXPECT_GT(w.count_pixels(w.control_rect(239), reddish), 20);
    EXPECT_FALSE(tcp_listener(port_));
    w.screenshot("setup-overview-stopped");

    // Start: the service runs and the port accepts connections.
    click_and_see_the_job(w, 232, "MySQL started");
    EXPECT_EQ(service_state(), static_cast<unsigned long>(SERVICE_RUNNING));
    EXPECT_TRUE(tcp_listener(port_));
    EXPECT_TRUE(eventually([&] { return w.pixel(dot.x, dot.y) == green_dot; }));

    // Restart: a new server process behind the same service.
    auto before = bench_servers();
    ASSERT_EQ(before.size(), 1u);
    click_and_see_the_job(w, 234, "MySQL restarted");
    auto after = bench_servers();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_NE(after[0].pid, before[0].pid);
    EXPECT_EQ(service_state(), static_cast<unsigned long>(SERVICE_RUNNING));
    EXPECT_TRUE(tcp_listener(port_));
}

// Two registers logged in over TCP: the Overview names them, --status lists them, Stop asks before
// cutting them off, and --if-idle keeps every mode that would from changing anything. (With
// nobody connected, Stop asks nothing: StopStartAndRestartThroughTheButtons.)
TEST_F(SetupService, ConnectedRegistersAreShownAndAskedAboutBeforeTheyAreCutOff) {
    install();
    const auto settings = read_settings_file(folder_.path("connection.ini"));
    ASSERT_TRUE(settings.has_value()) << settings.error();
    SetupWindow w(folder_);
    ASSERT_TRUE(w.handle());
    EXPECT_TRUE(eventually([&] { return w.text(245) == "No register connected"; })) << w.text(245);
    const std::map<std::string, std::string> environment{{"ProgramData", folder_.program_data()}};
    {
        RegisterSessions registers(settings->user, settings->password, port_, 2);
        EXPECT_TRUE(eventually([&] {
            return w.text(245) == "Connected now: 1 \u2014 this computer \u00D72";
        })) << w.text(245);

        w.click(233);
        auto question = wait_for_message_box(w.process_id());
        ASSERT_TRUE(question.has_value());
        EXPECT_EQ(question->text, "1 register is connected (this computer \u00D72). Stopping MySQL "
                                  "disconnects them. Stop anyway?");
        w.screenshot("setup-stop-registers-connected");
        question->answer(IDNO);
        Sleep(500);
        EXPECT_TRUE(w.window_enabled());
        EXPECT_EQ(service_state(), static_cast<unsigned long>(SERVICE_RUNNING));

        auto status = run_captured({.program = app_exe(),
                                    .arguments = {"--status"},
                                    .extra_environment = {{"ProgramData", folder_.program_data()}}},
                                   {}, true);
        ASSERT_TRUE(status.has_value());
        EXPECT_NE(status->output.find(R"("connected_clients":1,"clients":[{"address":"127.0.0.1",)"
                                      R"("name":"this computer","connections":2}])"),
                  std::string::npos)
            << status->output;

        Running stop({{"--stop", "--if-idle"}, environment});
        auto refusal = take_message_box(stop.process_id(), 60s);
        ASSERT_TRUE(refusal.has_value());
        EXPECT_EQ(refusal->text, "1 register is connected: this computer \u00D72");
        EXPECT_EQ(stop.wait(10s), 6u);
        const std::string config = folder_.program_data() + "\\apply.ini";
        write_file(config, "[connection]\r\nport=" + std::to_string(port_) + "\r\n");
        for (std::vector<std::string> mode :
             std::vector<std::vector<std::string>>{{"--restart"},
                                                   {"--uninstall"},
                                                   {"--restore", config},
                                                   {"--apply", "--config", config}}) {
            mode.insert(mode.end(), {"--if-idle", "--quiet"});
            EXPECT_EQ(run({mode, environment}).exit_code, 6u) << mode.front();
        }
        EXPECT_TRUE(exists(config));
        EXPECT_EQ(service_state(), static_cast<unsigned long>(SERVICE_RUNNING));
        EXPECT_NE(read_file(folder_.path("tray.log"))
                      .find(" --stop failed: 1 register is connected: this computer \u00D72\n"),
                  std::string::npos);

        run_mode("--stop");
        EXPECT_EQ(service_state(), static_cast<unsigned long>(SERVICE_STOPPED));
    }
    EXPECT_TRUE(eventually([&] { return w.text(245) == "No register connected"; })) << w.text(245);
}

TEST_F(SetupService, StartingAndRunningButNotAcceptingAreAmber) {
    install();
    run_mode("--stop");
    bench_control("mysqld.skip-networking");
    start_through_the_service_manager();
    ASSERT_TRUE(eventually([] { return service_state() == SERVICE_RUNNING; }, 60s));

    SetupWindow w(folder_);
    ASSERT_TRUE(w.handle());
    ASSERT_TRUE(eventually([&] { return w.pixel(dot.x, dot.y) == amber_dot; }));
    EXPECT_EQ(w.text(230), "MySQL is running but not accepting connections yet");
    EXPECT_FALSE(w.enabled(232));
    EXPECT_TRUE(w.enabled(233));
    EXPECT_TRUE(w.enabled(234));
    w.screenshot("setup-overview-not-accepting");
    EXPECT_EQ(w.close(), 0u);

    run_mode("--stop");
    clear_bench_control();
    bench_control("mysqld.ready-delay", "8");
    start_through_the_service_manager();
    ASSERT_TRUE(eventually([] { return service_state() == SERVICE_START_PENDING; }, 30s));
    SetupWindow starting(folder_);
    ASSERT_TRUE(starting.handle());
    ASSERT_TRUE(eventually([&] { return starting.pixel(dot.x, dot.y) == amber_dot; }));
    EXPECT_EQ(starting.text(230), "MySQL is starting...");
    EXPECT_FALSE(starting.enabled(232));
    EXPECT_TRUE(starting.enabled(233));
    EXPECT_FALSE(starting.enabled(234));
    clear_bench_control();
}

// Windows Firewall refusing the rule: the Open port job fails.
TEST_F(SetupService, AFailingJobShowsItsFirstLineInRedAndAllOfItInABox) {
    install(false);
    SetupWindow w(folder_);
    ASSERT_TRUE(w.handle());
    ASSERT_TRUE(eventually([&] { return w.visible(247); }));
    force_tool_exit("netsh", 1, "add");
    w.click(247);
    auto box = wait_for_message_box(w.process_id(), job_limit);
    ASSERT_TRUE(box.has_value());
    EXPECT_TRUE(box->text.starts_with("netsh advfirewall: ")) << box->text;
    const std::string first = box->text.substr(0, box->text.find_first_of("\r\n"));
    EXPECT_TRUE(eventually([&] { return w.text(291) == first; }, 5s)) << w.text(291);
    EXPECT_GT(w.count_pixels(w.control_rect(291), reddish), 20);
    w.screenshot("setup-overview-failed-job");
    box->answer(IDOK);
    EXPECT_TRUE(eventually([&] { return w.window_enabled(); }));
    // The pages were loaded again: the rule is still missing.
    EXPECT_TRUE(eventually([&] { return w.visible(247); }));
}

TEST_F(SetupService, UninstallAsksFirstThenInstallBringsItBack) {
    install();
    SetupWindow w(folder_);
    ASSERT_TRUE(w.handle());
    ASSERT_TRUE(eventually([&] { return w.text(239) == "Uninstall service"; }));

    // No: nothing starts.
    w.click(239);
    auto question = wait_for_message_box(w.process_id());
    ASSERT_TRUE(question.has_value());
    EXPECT_TRUE(question->text.starts_with("Uninstall the MySQL service?")) << question->text;
    EXPECT_TRUE(question->text.ends_with("They stay in:\n" + folder_.data_root()))
        << question->text;
    question->answer(IDNO);
    Sleep(500);
    EXPECT_TRUE(w.window_enabled());
    EXPECT_EQ(w.text(291), "");
    EXPECT_EQ(service_state(), static_cast<unsigned long>(SERVICE_RUNNING));

    // Yes: the uninstall job removes the service; the data stays.
    w.click(239);
    question = wait_for_message_box(w.process_id());
    ASSERT_TRUE(question.has_value());
    question->answer(IDYES);
    ASSERT_TRUE(eventually([&] { return w.text(291) == "MySQL service uninstalled (data kept)"; },
                           job_limit));
    EXPECT_EQ(service_state(), 0u);
    EXPECT_TRUE(exists(folder_.path("data")));
    EXPECT_TRUE(eventually([&] { return w.pixel(dot.x, dot.y) == grey_dot; }));
    EXPECT_EQ(w.text(239), "Install service");
    EXPECT_FALSE(w.visible(232));
    EXPECT_GT(w.count_pixels(w.control_rect(239), greenish), 20);

    // Install service: the job installs with the stored settings and starts the server, even
    // when the Task Scheduler refuses the rotation task; that is told, and the Overview says so.
    force_tool_exit("schtasks", 1, "create");
    w.click(239);
    auto warning = wait_for_message_box(w.process_id(), job_limit);
    ASSERT_TRUE(warning.has_value());
    EXPECT_NE(warning->text.find("\nLog rotation task: exit code Some(1)\n"), std::string::npos)
        << warning->text;
    EXPECT_TRUE(warning->text.ends_with("\nBackup task: exit code Some(1)")) << warning->text;
    EXPECT_EQ(w.text(291), "MySQL service installed");
    warning->answer(IDOK);
    EXPECT_EQ(service_state(), static_cast<unsigned long>(SERVICE_RUNNING));
    EXPECT_TRUE(tcp_listener(port_));
    EXPECT_TRUE(eventually([&] { return w.pixel(dot.x, dot.y) == green_dot; }));
    // The first of the status lines under the detail line.
    EXPECT_TRUE(eventually([&] { return w.text(225) == "Nightly log rotation task missing"; }));
    Sleep(500); // the window's own painting after it grew
    w.screenshot("setup-overview-rotation-task-missing");
    const std::string log = read_file(folder_.path("tray.log"));
    EXPECT_NE(log.find(" --install: Log rotation task: exit code Some(1)\n"), std::string::npos);
    EXPECT_TRUE(log.ends_with(" --install: Backup task: exit code Some(1)\n")) << log;
}

TEST_F(SetupService, OpenPortWhenTheFirewallRuleIsMissing) {
    install(false);
    SetupWindow w(folder_);
    ASSERT_TRUE(w.handle());
    const std::string port = std::to_string(port_);
    ASSERT_TRUE(eventually([&] { return w.visible(247); }));
    EXPECT_EQ(w.text(246),
              "Windows Firewall: port " + port + " is CLOSED - other registers cannot connect");
    // The text is set before the line is painted again in its colour.
    EXPECT_TRUE(eventually([&] { return w.count_pixels(w.control_rect(246), reddish) > 20; }));
    w.screenshot("setup-overview-port-closed");

    clear_tool_state();
    w.click(247);
    ASSERT_TRUE(
        eventually([&] { return w.text(291) == "Port opened in Windows Firewall"; }, job_limit));
    const std::string open = "Windows Firewall: open for other computers, port " + port;
    EXPECT_TRUE(eventually([&] { return w.text(246) == open; })) << w.text(246);
    EXPECT_FALSE(w.visible(247));
    EXPECT_TRUE(eventually([&] { return w.count_pixels(w.control_rect(246), greenish) > 20; }));
    bool added = false;
    for (const auto& call : tool_calls("netsh"))
        for (const auto& argument : call)
            if (argument == "localport=" + port) added = true;
    EXPECT_TRUE(added);
}

} // namespace
