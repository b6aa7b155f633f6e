// The tray's texts in the language stored for the user: status lines, tooltips and the menu's
// entries with their identifiers and states.
#include "popup_menu.h"
#include "user_registry.h"

#include "i18n/language.h"
#include "tray/menu.h"
#include "tray/texts.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

class TrayTexts : public ::testing::Test {
  protected:
    void use(const char* code) { ASSERT_TRUE(set_language(code)); }
    SavedUserValue saved_{program_key, "Language"};
};

TEST_F(TrayTexts, StatusLinesInEnglishAndChinese) {
    use("en");
    EXPECT_EQ(tray_status_line(ServiceStatus::NotInstalled),
              "KELTA MySQL 5.7 - service not installed");
    EXPECT_EQ(tray_status_line(ServiceStatus::Stopped), "KELTA MySQL 5.7 - stopped");
    EXPECT_EQ(tray_status_line(ServiceStatus::Starting), "KELTA MySQL 5.7 - starting...");
    EXPECT_EQ(tray_status_line(ServiceStatus::Stopping), "KELTA MySQL 5.7 - stopping...");
    EXPECT_EQ(tray_status_line(ServiceStatus::RunningNotAccepting),
              "KELTA MySQL 5.7 - running, not accepting connections yet");
    EXPECT_EQ(tray_status_line(ServiceStatus::Running), "KELTA MySQL 5.7 - running");
    use("zh");
    EXPECT_EQ(tray_status_line(ServiceStatus::NotInstalled), "KELTA MySQL 5.7 - 服务未安装");
    EXPECT_EQ(tray_status_line(ServiceStatus::Stopped), "KELTA MySQL 5.7 - 已停止");
    EXPECT_EQ(tray_status_line(ServiceStatus::Starting), "KELTA MySQL 5.7 - 正在启动…");
    EXPECT_EQ(tray_status_line(ServiceStatus::Stopping), "KELTA MySQL 5.7 - 正在停止…");
    EXPECT_EQ(tray_status_line(ServiceStatus::RunningNotAccepting),
              "KELTA MySQL 5.7 - 运行中，尚未接受连接");
    EXPECT_EQ(tray_status_line(ServiceStatus::Running), "KELTA MySQL 5.7 - 运行中");
}

TEST_F(TrayTexts, TooltipAddsThePort) {
    use("en");
    EXPECT_EQ(tray_tooltip_text(ServiceStatus::Running, 3307),
              "KELTA MySQL 5.7 - running (port 3307)");
    EXPECT_EQ(tray_tooltip_text(ServiceStatus::Stopped, 65535),
              "KELTA MySQL 5.7 - stopped (port 65535)");
    use("zh");
    EXPECT_EQ(tray_tooltip_text(ServiceStatus::Running, 3307),
              "KELTA MySQL 5.7 - 运行中 (端口 3307)");
    // French keeps "port" as it is; Spanish translates it.
    use("fr");
    EXPECT_EQ(tray_tooltip_text(ServiceStatus::Stopped, 3307),
              "KELTA MySQL 5.7 - arrêté (port 3307)");
    use("es");
    EXPECT_EQ(tray_tooltip_text(ServiceStatus::Running, 1024),
              "KELTA MySQL 5.7 - en ejecución (puerto 1024)");
}

TEST_F(TrayTexts, MenuOfAnInstalledServiceHasFiveEntries) {
    use("en");
    for (ServiceStatus status :
         {ServiceStatus::Stopped, ServiceStatus::Starting, ServiceStatus::Stopping,
          ServiceStatus::RunningNotAccepting, ServiceStatus::Running}) {
        // The install flag matters only while the install entry is offered.
        auto items = tray_menu_items(status, true);
        ASSERT_EQ(items.size(), 5u);
        EXPECT_EQ(items[0].text, tray_status_line(status));
        EXPECT_EQ(items[0].flags, UINT(MF_STRING | MF_GRAYED));
        EXPECT_EQ(items[0].id, 0u);
        EXPECT_EQ(items[1].flags, UINT(MF_SEPARATOR));
        EXPECT_EQ(items[2].text, "Setup...");
        EXPECT_EQ(items[2].id, ID_TRAY_SETUP);
        EXPECT_EQ(items[2].flags, UINT(MF_STRING));
        EXPECT_EQ(items[3].flags, UINT(MF_SEPARATOR));
        EXPECT_EQ(items[4].text, "Exit tray (MySQL keeps running)");
        EXPECT_EQ(items[4].id, ID_TRAY_EXIT);
    }
}

TEST_F(TrayTexts, MenuOfAMissingServiceOffersTheInstall) {
    use("zh");
    auto items = tray_menu_items(ServiceStatus::NotInstalled, false);
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0].text, "KELTA MySQL 5.7 - 服务未安装");
    EXPECT_EQ(items[2].text, "设置…");
    EXPECT_EQ(items[3].text, "安装 MySQL 服务");
    EXPECT_EQ(items[3].id, ID_TRAY_INSTALL);
    EXPECT_EQ(items[3].flags, UINT(MF_STRING));
    EXPECT_EQ(items[4].flags, UINT(MF_SEPARATOR));
    EXPECT_EQ(items[5].text, "退出托盘（MySQL 继续运行）");
    // While an install of this tray runs, the entry stays but is greyed.
    auto busy = tray_menu_items(ServiceStatus::NotInstalled, true);
    ASSERT_EQ(busy.size(), 6u);
    EXPECT_EQ(busy[3].flags, UINT(MF_STRING | MF_GRAYED));
    EXPECT_EQ(ID_TRAY_INSTALL, 104u);
    EXPECT_EQ(ID_TRAY_SETUP, 108u);
    EXPECT_EQ(ID_TRAY_EXIT, 109u);
}

TEST_F(TrayTexts, BuiltMenuCarriesEntriesStatesAndTheDefault) {
    use("en");
    UniqueMenu busy = build_tray_menu(tray_menu_items(ServiceStatus::NotInstalled, true));
    ASSERT_TRUE(busy);
    auto entries = menu_entries(busy.get());
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries[0].text, "KELTA MySQL 5.7 - service not installed");
    EXPECT_TRUE(entries[0].greyed);
    EXPECT_EQ(entries[0].id, 0u);
    EXPECT_TRUE(entries[1].separator);
    EXPECT_EQ(entries[2].text, "Setup...");
    EXPECT_EQ(entries[2].id, 108u);
    EXPECT_TRUE(entries[2].is_default);
    EXPECT_FALSE(entries[2].greyed);
    EXPECT_EQ(entries[3].text, "Install MySQL service");
    EXPECT_EQ(entries[3].id, 104u);
    EXPECT_TRUE(entries[3].greyed);
    EXPECT_FALSE(entries[3].is_default);
    EXPECT_TRUE(entries[4].separator);
    EXPECT_EQ(entries[5].text, "Exit tray (MySQL keeps running)");
    EXPECT_EQ(entries[5].id, 109u);
    EXPECT_FALSE(entries[5].greyed);

    UniqueMenu running = build_tray_menu(tray_menu_items(ServiceStatus::Running, false));
    entries = menu_entries(running.get());
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].text, "KELTA MySQL 5.7 - running");
    EXPECT_TRUE(entries[2].is_default);
    EXPECT_EQ(entries[4].id, 109u);
}

} // namespace
