// The Overview's texts and button rules as the operator reads them, in English and Chinese, and
// the window title. They follow the stored language, so they run with the user's registry.
#include "user_registry.h"

#include "i18n/language.h"
#include "setup/frame.h"
#include "setup/overview_texts.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

class SetupTexts : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(set_language("en")); }
    void TearDown() override { detect_language(); }
    SavedUserValue saved_{program_key, "Language"};
};

ConnectionSettings shop_settings() {
    ConnectionSettings s;
    s.port = 3307;
    s.database = "kelta_retail";
    s.user = "kelta_retail";
    s.password = "Xy-9_secret";
    return s;
}

TEST_F(SetupTexts, StatusTextForEveryState) {
    EXPECT_EQ(status_text(ServiceStatus::NotInstalled), "The MySQL service is not installed");
    EXPECT_EQ(status_text(ServiceStatus::Stopped), "MySQL is stopped");
    EXPECT_EQ(status_text(ServiceStatus::Starting), "MySQL is starting...");
    EXPECT_EQ(status_text(ServiceStatus::Stopping), "MySQL is stopping...");
    EXPECT_EQ(status_text(ServiceStatus::RunningNotAccepting),
              "MySQL is running but not accepting connections yet");
    EXPECT_EQ(status_text(ServiceStatus::Running), "MySQL is running");
    ASSERT_TRUE(set_language("zh"));
    EXPECT_EQ(status_text(ServiceStatus::RunningNotAccepting), "MySQL 已运行，尚未接受连接");
    ASSERT_TRUE(set_language("fr"));
    EXPECT_EQ(status_text(ServiceStatus::Stopped), "MySQL est arrêté");
}

TEST_F(SetupTexts, DetailLineNamesPortServerAndStartType) {
    EXPECT_EQ(detail_line(ServiceStatus::NotInstalled, 3307, "10.0.0.5", StartType::automatic), "");
    EXPECT_EQ(detail_line(ServiceStatus::Running, 3307, "10.0.0.5", StartType::automatic),
              "Port 3307  \u00B7  Server IP 10.0.0.5  \u00B7  Starts with Windows");
    EXPECT_EQ(detail_line(ServiceStatus::Stopped, 4000, "10.0.0.5", StartType::manual),
              "Port 4000  \u00B7  Server IP 10.0.0.5  \u00B7  Manual start");
    EXPECT_EQ(detail_line(ServiceStatus::Stopped, 4000, "10.0.0.5", StartType::undetermined),
              "Port 4000  \u00B7  Server IP 10.0.0.5  \u00B7  Manual start");
    ASSERT_TRUE(set_language("zh"));
    EXPECT_EQ(detail_line(ServiceStatus::Running, 3307, "10.0.0.5", StartType::automatic),
              "端口 3307  \u00B7  服务器 IP 10.0.0.5  \u00B7  随 Windows 启动");
}

TEST_F(SetupTexts, PasswordShowsAtMostTwelveBullets) {
    const std::string bullet = "\u25CF";
    auto bullets = [&](int n) {
        std::string text;
        for (int i = 0; i < n; ++i)
            text += bullet;
        return text;
    };
    EXPECT_EQ(password_display("abcdefghijklmnopqrst", false), bullets(12));
    EXPECT_EQ(password_display("abcde", false), bullets(5));
    EXPECT_EQ(password_display("", false), "");
    EXPECT_EQ(password_display("", true), "");
    // Characters, not bytes: three Chinese characters are nine bytes.
    EXPECT_EQ(password_display("密码字", false), bullets(3));
    EXPECT_EQ(password_display("abcdefghijklmnopqrst", true), "abcdefghijklmnopqrst");
}

TEST_F(SetupTexts, ConnectionStringCarriesTheRealPassword) {
    EXPECT_EQ(connection_string(shop_settings(), "192.168.1.20"),
              "Server=192.168.1.20;Port=3307;Database=kelta_retail;User=kelta_retail;"
              "Password=Xy-9_secret;");
}

TEST_F(SetupTexts, FirewallLineOpenOrClosed) {
    EXPECT_EQ(firewall_line(true, 3307), "Windows Firewall: open for other computers, port 3307");
    EXPECT_EQ(firewall_line(false, 3307),
              "Windows Firewall: port 3307 is CLOSED - other registers cannot connect");
    ASSERT_TRUE(set_language("zh"));
    EXPECT_EQ(firewall_line(false, 3307), "Windows 防火墙：端口 3307 未开放 —— 其它收银机连不进来");
}

TEST_F(SetupTexts, ServiceButtonsFollowTheState) {
    struct Case {
        ServiceStatus status;
        ServiceButtons buttons;
    };
    const Case cases[] = {
        {ServiceStatus::NotInstalled, {false, false, false, false}},
        {ServiceStatus::Stopped, {true, true, false, false}},
        {ServiceStatus::Starting, {true, false, true, false}},
        {ServiceStatus::Stopping, {true, false, false, false}},
        {ServiceStatus::RunningNotAccepting, {true, false, true, true}},
        {ServiceStatus::Running, {true, false, true, true}},
    };
    for (const Case& c : cases) {
        ServiceButtons b = service_buttons(c.status);
        EXPECT_EQ(b.shown, c.buttons.shown) << static_cast<int>(c.status);
        EXPECT_EQ(b.start, c.buttons.start) << static_cast<int>(c.status);
        EXPECT_EQ(b.stop, c.buttons.stop) << static_cast<int>(c.status);
        EXPECT_EQ(b.restart, c.buttons.restart) << static_cast<int>(c.status);
    }
    EXPECT_EQ(install_button_text(ServiceStatus::NotInstalled), "Install service");
    EXPECT_EQ(install_button_text(ServiceStatus::Stopped), "Uninstall service");
    EXPECT_FALSE(open_port_offered(ServiceStatus::NotInstalled, false));
    EXPECT_TRUE(open_port_offered(ServiceStatus::Stopped, false));
    EXPECT_FALSE(open_port_offered(ServiceStatus::Running, true));
}

TEST_F(SetupTexts, UninstallQuestionEndsWithTheDataFolder) {
    const std::string folder = "C:\\ProgramData\\KELTA Retail\\MySQL";
    const std::string question = uninstall_question(folder);
    EXPECT_TRUE(question.starts_with("Uninstall the MySQL service?\n\nMySQL will be stopped"));
    EXPECT_TRUE(question.ends_with("They stay in:\n" + folder)) << question;
    ASSERT_TRUE(set_language("es"));
    EXPECT_TRUE(uninstall_question(folder).starts_with("¿Desinstalar el servicio MySQL?"));
}

TEST_F(SetupTexts, WindowTitle) {
    EXPECT_EQ(window_title(), "KELTA Retail MySQL 1.1.1 - Setup");
    ASSERT_TRUE(set_language("zh"));
    EXPECT_EQ(window_title(), "KELTA Retail MySQL 1.1.1 - 设置");
}

} // namespace
