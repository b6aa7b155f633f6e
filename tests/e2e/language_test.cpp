// The language choice as it lives in the user's registry: what detection makes of the stored
// value and of the Windows display language, what set_language and the --lang mode store, and
// the texts that follow.
#include "harness.h"
#include "user_registry.h"

#include "i18n/language.h"
#include "i18n/tr.h"
#include "jobs/mode_texts.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

// The Windows display language that detection sees, chosen by the test.
std::uint16_t ui_language = 0x0409;
std::uint16_t test_ui_language() {
    return ui_language;
}

constexpr std::uint16_t french_windows = 0x040C;
constexpr std::uint16_t german_windows = 0x0407;
constexpr std::uint16_t traditional_chinese_windows = 0x0404;
constexpr std::uint16_t spanish_windows = 0x0C0A;

class Language : public ::testing::Test {
  protected:
    void SetUp() override { real_query_ = replace_ui_language_query(test_ui_language); }
    void TearDown() override { replace_ui_language_query(real_query_); }

    void store(const std::string& text) { set_user_string(program_key, "Language", text); }
    std::optional<std::string> stored() { return user_string(program_key, "Language"); }
    Lang detected() {
        detect_language();
        return current_language();
    }

    SavedUserValue saved_{program_key, "Language"};
    UiLanguageQuery real_query_ = nullptr;
};

// ctest runs every test in a process of its own, so this is the process's first translation.
TEST_F(Language, FirstTranslationDetectsTheLanguage) {
    if (::testing::UnitTest::GetInstance()->test_to_run_count() != 1)
        GTEST_SKIP() << "needs a process of its own (run it through ctest)";
    store("es");
    EXPECT_EQ(tr("Stop", "停止"), "Detener");
    EXPECT_EQ(current_language(), Lang::es);
}

TEST_F(Language, StoredCodeDecides) {
    ui_language = french_windows;
    store("en");
    EXPECT_EQ(detected(), Lang::en);
    store("zh");
    EXPECT_EQ(detected(), Lang::zh);
    EXPECT_EQ(tr("Stop", "停止"), "停止");
    store("es");
    EXPECT_EQ(detected(), Lang::es);
    store("fr");
    ui_language = spanish_windows;
    EXPECT_EQ(detected(), Lang::fr);
    EXPECT_EQ(tr("Stop", "停止"), "Arrêter");
}

TEST_F(Language, UnrecognisedStoredTextsFollowWindows) {
    for (const char* text : {"EN", "zh-CN", "", "auto", "Fr", "es-ES"}) {
        store(text);
        ui_language = french_windows;
        EXPECT_EQ(detected(), Lang::fr) << text;
        ui_language = german_windows;
        EXPECT_EQ(detected(), Lang::en) << text;
    }
}

TEST_F(Language, MissingValueIsAuto) {
    delete_user_value(program_key, "Language");
    EXPECT_EQ(read_language_setting(), "auto");
    ui_language = traditional_chinese_windows;
    EXPECT_EQ(detected(), Lang::zh);
    ui_language = german_windows;
    EXPECT_EQ(detected(), Lang::en);
}

TEST_F(Language, StoredValuesThatCannotBeReadAreAuto) {
    set_user_dword(program_key, "Language", 2);
    EXPECT_EQ(read_language_setting(), "auto");
    // The value is read into 16 UTF-16 units with the terminating NUL.
    store(std::string(15, 'x'));
    EXPECT_EQ(read_language_setting(), std::string(15, 'x'));
    store(std::string(16, 'x'));
    EXPECT_EQ(read_language_setting(), "auto");
    set_user_units(program_key, "Language", std::wstring(L"f\xD800r"));
    EXPECT_EQ(read_language_setting(), "f\xEF\xBF\xBDr");
}

TEST_F(Language, SetLanguageRejectsUnknownCodesAndWritesNothing) {
    store("es");
    for (const char* code : {"de", "EN", "auto ", "", "zh-CN"}) {
        auto result = set_language(code);
        ASSERT_FALSE(result) << code;
        EXPECT_EQ(result.error(), std::string("unknown language ") + code);
    }
    EXPECT_EQ(stored(), "es");
    delete_user_value(program_key, "Language");
    EXPECT_FALSE(set_language("de"));
    EXPECT_EQ(stored(), std::nullopt);
}

TEST_F(Language, SetLanguageStoresAndAppliesAtOnce) {
    ui_language = german_windows;
    ASSERT_TRUE(set_language("zh"));
    EXPECT_EQ(stored(), "zh");
    EXPECT_EQ(tr("Stop", "停止"), "停止");
    // "auto" is stored as a text and follows Windows at once.
    ui_language = french_windows;
    ASSERT_TRUE(set_language("auto"));
    EXPECT_EQ(stored(), "auto");
    EXPECT_EQ(tr("Stop", "停止"), "Arrêter");
    ASSERT_TRUE(set_language("en"));
    EXPECT_EQ(tr("Stop", "停止"), "Stop");
}

TEST_F(Language, ModeResultTextsInEveryLanguage) {
    ui_language = german_windows;
    ASSERT_TRUE(set_language("en"));
    EXPECT_EQ(backup_done_text("D:\\x.sql"), "Backup done:\nD:\\x.sql");
    EXPECT_EQ(restore_done_text("C:\\b\\before-restore_20260301_184502.sql"),
              "Restore done. Data before the restore was saved to:\n"
              "C:\\b\\before-restore_20260301_184502.sql");
    ASSERT_TRUE(set_language("zh"));
    EXPECT_EQ(backup_done_text("D:\\x.sql"), "备份完成：\nD:\\x.sql");
    EXPECT_EQ(restore_done_text("C:\\s.sql"), "恢复完成。恢复前的数据已另存为：\nC:\\s.sql");
    ASSERT_TRUE(set_language("fr"));
    EXPECT_EQ(backup_done_text("D:\\x.sql"), "Sauvegarde terminée :\nD:\\x.sql");
    ASSERT_TRUE(set_language("es"));
    EXPECT_EQ(restore_done_text("C:\\s.sql"),
              "Restauración completada. Los datos anteriores a la restauración se guardaron en:\n"
              "C:\\s.sql");
}

// The --lang mode of the real program.
class LangMode : public Language {
  protected:
    unsigned long run_lang(std::vector<std::string> arguments,
                           const std::string& program = app_exe()) {
        arguments.insert(arguments.begin(), "--lang");
        return run({arguments, {{"ProgramData", folder_.program_data()}}, program}).exit_code;
    }
    std::vector<std::string> log() { return lines_of(read_file(folder_.path("tray.log"))); }

    TestFolder folder_;
};

TEST_F(LangMode, StoresTheCode) {
    EXPECT_EQ(run_lang({"fr"}), 0u);
    EXPECT_EQ(stored(), "fr");
    EXPECT_EQ(run_lang({"zh", "--quiet"}), 0u);
    EXPECT_EQ(stored(), "zh");
    EXPECT_FALSE(exists(folder_.path("tray.log")));
}

TEST_F(LangMode, NoCodeStoresAuto) {
    store("fr");
    EXPECT_EQ(run_lang({}), 0u);
    EXPECT_EQ(stored(), "auto");
    store("fr");
    // A following option is no code either.
    EXPECT_EQ(run_lang({"--quiet"}), 0u);
    EXPECT_EQ(stored(), "auto");
}

TEST_F(LangMode, UnknownCodeFailsAndWritesNothing) {
    store("es");
    EXPECT_EQ(run_lang({"de", "--quiet"}), 1u);
    EXPECT_EQ(stored(), "es");
    delete_user_value(program_key, "Language");
    EXPECT_EQ(run_lang({"EN", "--quiet"}), 1u);
    EXPECT_EQ(stored(), std::nullopt);
    auto lines = log();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].ends_with(" --lang failed: unknown language de")) << lines[0];
    EXPECT_TRUE(lines[1].ends_with(" --lang failed: unknown language EN")) << lines[1];
}

TEST_F(LangMode, NeedsNoAdministrator) {
    Launch launch{{"--lang", "es", "--quiet"},
                  {{"ProgramData", folder_.program_data()}, {"KELTA_TEST_DECLINE", "1"}},
                  app_exe("KeltaMySQL-unelevated.exe")};
    EXPECT_EQ(run(launch).exit_code, 0u);
    EXPECT_EQ(stored(), "es");
}

} // namespace
