// Screenshots of the four pages of the Setup window in the four languages, in the light and the
// dark theme, on a running server: C:\kelta-test\artifacts\setup-<page>-<language>-<theme>.bmp,
// which scripts/test turns into out/screenshots/*.png for people to look at.
#include "harness.h"
#include "server.h"
#include "setup_window.h"
#include "user_registry.h"

#include <gtest/gtest.h>

using namespace e2e;
using namespace std::chrono_literals;

namespace {

const std::string personalize = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr int language_list = 274;
constexpr POINT card_corner{240, 80};
constexpr POINT dot{263, 108};
constexpr DWORD running_green = 0x0F7B0F;
constexpr DWORD running_green_dark = 0x6CCB5F;

struct Language {
    int row; // in the language list
    std::string code;
    std::string title; // the window title in it
};

const Language languages[] = {
    {1, "en", "KELTA Retail MySQL 1.1.1 - Setup"},
    {2, "zh", "KELTA Retail MySQL 1.1.1 - 设置"},
    {3, "fr", "KELTA Retail MySQL 1.1.1 - Configuration"},
    {4, "es", "KELTA Retail MySQL 1.1.1 - Configuración"},
};

struct Page {
    std::string name;
    int shown_control; // visible only on this page
};

const Page pages[] = {{"overview", 230}, {"connection", 201}, {"backup", 250}, {"general", 270}};

struct Theme {
    std::string name;
    std::uint32_t apps_use_light_theme;
    DWORD card;
    DWORD dot;
};

const Theme themes[] = {{"light", 1, 0xFBFBFB, running_green},
                        {"dark", 0, 0x2B2B2B, running_green_dark}};

class Gallery : public ::testing::Test {
  protected:
    SavedUserValue language_{program_key, "Language"};
    SavedUserValue theme_{personalize, "AppsUseLightTheme"};
    SavedUserValue last_backup_{program_key, "LastBackup"};
};

TEST_F(Gallery, EveryPageInEveryLanguageLightAndDark) {
    set_user_string(program_key, "Language", "en");
    set_user_dword(personalize, "AppsUseLightTheme", 1);
    set_user_string(program_key, "LastBackup",
                    "2026-03-01 18:45|D:\\Backups\\kelta_retail_20260301_184502.sql");
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    SetupWindow w(server.folder());
    ASSERT_TRUE(w.handle());
    // Two registers on the server, so that the Overview names them in every language.
    RegisterSessions registers(server.settings().user, server.settings().password, server.port(),
                               2);

    for (const Theme& theme : themes) {
        set_user_dword(personalize, "AppsUseLightTheme", theme.apps_use_light_theme);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(w.handle(), WM_SETTINGCHANGE, 0,
                            reinterpret_cast<LPARAM>(L"ImmersiveColorSet"), SMTO_ABORTIFHUNG, 5000,
                            &ignored);
        for (const Language& language : languages) {
            w.choose(language_list, language.row);
            ASSERT_TRUE(eventually([&] { return w.title() == language.title; })) << w.title();
            for (size_t i = 0; i < std::size(pages); ++i) {
                const Page& page = pages[i];
                w.click_at(100, 40 + 44 * static_cast<int>(i));
                ASSERT_TRUE(eventually([&] { return w.visible(page.shown_control); }));
                EXPECT_TRUE(eventually([&] {
                    return w.pixel(card_corner.x, card_corner.y) == theme.card;
                })) << page.name;
                if (page.name == "overview") {
                    EXPECT_TRUE(eventually([&] { return w.pixel(dot.x, dot.y) == theme.dot; }));
                    EXPECT_TRUE(eventually([&] { return w.text(245).ends_with("\u00D72"); }))
                        << w.text(245);
                }
                // The controls' own painting: asked for and waited on, since the visible
                // controls and the card's colour can come well before it on a busy machine.
                RedrawWindow(w.handle(), nullptr, nullptr,
                             RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
                Sleep(300);
                w.screenshot("setup-" + page.name + "-" + language.code + "-" + theme.name);
            }
        }
    }
}

} // namespace
