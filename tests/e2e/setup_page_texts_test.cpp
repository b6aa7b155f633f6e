// The texts of the Connection, Backup & restore and General pages as plain functions, in the
// languages the operator reads them in. They follow the stored language, so they run with the
// user's registry.
#include "user_registry.h"

#include "i18n/language.h"
#include "i18n/language_list.h"
#include "setup/backup_texts.h"
#include "setup/general_page.h"
#include "setup/server_ip_choices.h"
#include "ui/file_dialog.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

class PageTexts : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(set_language("en")); }
    void TearDown() override { detect_language(); }
    SavedUserValue saved_{program_key, "Language"};
};

std::vector<std::string> labels(const std::vector<ServerIpChoice>& choices) {
    std::vector<std::string> all;
    for (const ServerIpChoice& choice : choices)
        all.push_back(choice.label);
    return all;
}

std::vector<std::string> values(const std::vector<ServerIpChoice>& choices) {
    std::vector<std::string> all;
    for (const ServerIpChoice& choice : choices)
        all.push_back(choice.value);
    return all;
}

const std::vector<Ipv4> two_cards = {{192, 168, 1, 20}, {10, 0, 0, 5}};

TEST_F(PageTexts, ServerIpChoicesKeepTheSystemsOrder) {
    const auto choices = server_ip_choices("10.0.0.5", two_cards);
    EXPECT_EQ(labels(choices), (std::vector<std::string>{"0.0.0.0  (all network cards)",
                                                         "192.168.1.20", "10.0.0.5"}));
    EXPECT_EQ(values(choices), (std::vector<std::string>{"0.0.0.0", "192.168.1.20", "10.0.0.5"}));
    EXPECT_EQ(server_ip_choices("0.0.0.0", two_cards).size(), 3u);
    EXPECT_EQ(labels(server_ip_choices("0.0.0.0", {})),
              (std::vector<std::string>{"0.0.0.0  (all network cards)"}));
}

TEST_F(PageTexts, AnAddressThisComputerLacksComesLast) {
    const auto choices = server_ip_choices("172.16.0.9", two_cards);
    ASSERT_EQ(choices.size(), 4u);
    EXPECT_EQ(choices.back().value, "172.16.0.9");
    EXPECT_EQ(choices.back().label, "172.16.0.9  (not found on this computer)");
    // Whatever the stored text is, it is shown as it is and kept as the value.
    EXPECT_EQ(server_ip_choices("", two_cards).back().label, "  (not found on this computer)");
    ASSERT_TRUE(set_language("zh"));
    EXPECT_EQ(server_ip_choices("172.16.0.9", two_cards).back().label,
              "172.16.0.9  （本机没有这个地址）");
    EXPECT_EQ(server_ip_choices("172.16.0.9", two_cards).front().label, "0.0.0.0  （所有网卡）");
    ASSERT_TRUE(set_language("fr"));
    EXPECT_EQ(server_ip_choices("172.16.0.9", {}).back().label,
              "172.16.0.9  (introuvable sur cet ordinateur)");
}

TEST_F(PageTexts, ChosenBindFollowsTheSelection) {
    const std::vector<std::string> list = {"0.0.0.0", "192.168.1.20", "172.16.0.9"};
    EXPECT_EQ(chosen_bind(list, 1), "192.168.1.20");
    EXPECT_EQ(chosen_bind(list, 2), "172.16.0.9");
    EXPECT_EQ(chosen_bind(list, -1), "0.0.0.0"); // no selection: the first entry
    EXPECT_EQ(chosen_bind({"10.0.0.5"}, -1), "10.0.0.5");
    EXPECT_EQ(chosen_bind(list, 3), "0.0.0.0"); // beyond the list: all network cards
    EXPECT_EQ(chosen_bind({}, 0), "0.0.0.0");
}

TEST_F(PageTexts, LastBackupLine) {
    EXPECT_EQ(last_backup_line(std::nullopt), "No backup yet");
    EXPECT_EQ(last_backup_line("2026-03-01 18:45 D:\\b.sql"), "No backup yet"); // no "|"
    EXPECT_EQ(last_backup_line("2026-03-01 18:45|D:\\b.sql"),
              "Last backup: 2026-03-01 18:45  \u00B7  D:\\b.sql");
    // Split at the first "|" only.
    EXPECT_EQ(last_backup_line("2026-03-01 18:45|D:\\odd|name.sql"),
              "Last backup: 2026-03-01 18:45  \u00B7  D:\\odd|name.sql");
    ASSERT_TRUE(set_language("zh"));
    EXPECT_EQ(last_backup_line(std::nullopt), "还没有备份过");
    EXPECT_EQ(last_backup_line("2026-03-01 18:45|D:\\b.sql"),
              "上次备份： 2026-03-01 18:45  \u00B7  D:\\b.sql");
    ASSERT_TRUE(set_language("es"));
    EXPECT_EQ(last_backup_line("2026-03-01 18:45|D:\\b.sql"),
              "Última copia de seguridad: 2026-03-01 18:45  \u00B7  D:\\b.sql");
}

TEST_F(PageTexts, ProposedBackupName) {
    EXPECT_EQ(proposed_backup_name("kelta_retail", "20260301_184502"),
              "kelta_retail_20260301_184502.sql");
    // A hand-edited name that no file may carry does not reach the dialog as a path.
    EXPECT_EQ(proposed_backup_name("a/b\\c:d*e?f\"g<h>i|j", "20260301_184502"),
              "a_b_c_d_e_f_g_h_i_j_20260301_184502.sql");
    EXPECT_EQ(proposed_backup_name("tab\there", "1"), "tab_here_1.sql");
    EXPECT_EQ(proposed_backup_name("café", "1"), "café_1.sql");
}

TEST_F(PageTexts, FileDialogFilter) {
    using namespace std::string_literals;
    EXPECT_EQ(file_dialog_filter(), L"SQL backup (*.sql)\0*.sql\0All files (*.*)\0*.*\0\0"s);
    ASSERT_TRUE(set_language("zh"));
    EXPECT_EQ(file_dialog_filter(), L"SQL 备份 (*.sql)\0*.sql\0所有文件 (*.*)\0*.*\0\0"s);
}

TEST_F(PageTexts, LanguageListNamesEachLanguageInItself) {
    auto names = [] {
        std::vector<std::string> all;
        for (const LanguageChoice& choice : language_choices())
            all.emplace_back(choice.name);
        return all;
    };
    const std::vector<std::string> own_names = {"English", "简体中文", "Français", "Español"};
    auto expected = [&](const std::string& first) {
        std::vector<std::string> all = {first};
        all.insert(all.end(), own_names.begin(), own_names.end());
        return all;
    };
    EXPECT_EQ(names(), expected("Same as Windows"));
    ASSERT_TRUE(set_language("zh"));
    EXPECT_EQ(names(), expected("跟随系统"));
    ASSERT_TRUE(set_language("es"));
    EXPECT_EQ(names(), expected("Igual que Windows"));

    const std::vector<std::string> codes = {"auto", "en", "zh", "fr", "es"};
    for (size_t row = 0; row < codes.size(); ++row) {
        EXPECT_EQ(language_choices()[row].code, codes[row]);
        EXPECT_EQ(language_row(codes[row]), row);
    }
    EXPECT_EQ(language_row("EN"), std::nullopt);
    EXPECT_EQ(language_row("zh-CN"), std::nullopt);
    EXPECT_EQ(language_row(""), std::nullopt);
}

TEST_F(PageTexts, AboutLine) {
    EXPECT_EQ(about_line(), "KELTA Retail MySQL  Version 1.1.1");
    ASSERT_TRUE(set_language("zh"));
    EXPECT_EQ(about_line(), "KELTA Retail MySQL  版本 1.1.1");
    ASSERT_TRUE(set_language("es"));
    EXPECT_EQ(about_line(), "KELTA Retail MySQL  Versión 1.1.1");
}

} // namespace
