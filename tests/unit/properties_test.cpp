// Random inputs against the readers and the my.ini editor: nothing crashes, what is written reads
// back, editing my.ini a second time changes nothing, and it keeps every line it does not own.
#include "base/text.h"
#include "config/legacy.h"
#include "config/settings.h"
#include "scratch.h"
#include "svc/myini.h"
#include "svc/myini_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

// Text made of pieces that matter to the readers, plus stray bytes, so that keys, separators,
// line ends, Unicode blanks and broken UTF-8 meet in every combination.
class TextSource {
  public:
    explicit TextSource(unsigned seed) : random_(seed) {}

    std::string text(size_t pieces) {
        static const std::vector<std::string> atoms = {"port",       "PORT",
                                                       "bind",       "root_password",
                                                       "password",   "user",
                                                       "host",       "database",
                                                       "firewall",   "=",
                                                       "=",          "\n",
                                                       "\r\n",       "\r",
                                                       " ",          "\t",
                                                       "\u3000",     "\u00A0",
                                                       "[mysqld]",   "[client]",
                                                       "basedir",    "bind-address",
                                                       "socket",     "enable-named-pipe",
                                                       "#",          ";",
                                                       "Password: ", "root / ",
                                                       "0",          "65535",
                                                       "65536",      "+",
                                                       "-",          "3307",
                                                       "off",        "false",
                                                       "\xFF",       "\xC3",
                                                       "\xE2\x80",   "\u00E9",
                                                       "\U0001F600", std::string(1, '\0'),
                                                       "x",          "Z"};
        std::string out;
        std::uniform_int_distribution<size_t> pick(0, atoms.size() - 1);
        std::uniform_int_distribution<int> byte(0, 255);
        for (size_t i = 0; i < pieces; ++i) {
            if (random_() % 8 == 0)
                out += static_cast<char>(byte(random_));
            else
                out += atoms[pick(random_)];
        }
        return out;
    }
    size_t length(size_t most) { return random_() % (most + 1); }

  private:
    std::mt19937 random_;
};

constexpr int rounds = 3000;

TEST(Properties, ParsedSettingsSurviveARenderAndReparse) {
    TextSource source(20240601);
    for (int i = 0; i < rounds; ++i) {
        std::string input = source.text(source.length(60));
        ConnectionSettings parsed = parse_settings(input);
        ASSERT_EQ(parse_settings(render_settings(parsed)), parsed) << testing::PrintToString(input);
        ASSERT_FALSE(parsed.bind.empty());
        ASSERT_FALSE(parsed.root_password.empty());
    }
}

TEST(Properties, LegacyParserOnlyEverSetsThePasswords) {
    TextSource source(7);
    ConnectionSettings defaults = default_settings();
    for (int i = 0; i < rounds; ++i) {
        ConnectionSettings parsed = parse_legacy_settings(source.text(source.length(60)));
        parsed.password = defaults.password;
        parsed.root_password = defaults.root_password;
        ASSERT_EQ(parsed, defaults);
    }
}

TEST(Properties, MyIniEditIsStableAndReadsBack) {
    const std::string_view owned_words[] = {"basedir", "port", "bind", "named", "socket"};
    TextSource source(99);
    OwnedMyIniOptions owned =
        owned_my_ini_options("C:\\KELTA\\MySQL", {.port = 4123, .bind = "10.2.3.4"});
    for (int i = 0; i < rounds; ++i) {
        std::string input = source.text(source.length(80));
        std::string once = update_my_ini_text(input, owned);
        ASSERT_EQ(update_my_ini_text(once, owned), once) << testing::PrintToString(input);
        for (const auto& option : owned)
            ASSERT_EQ(my_ini_value(once, option.name), option.value)
                << testing::PrintToString(input);
        ASSERT_TRUE(once.ends_with("\r\n"));
        // Every line that cannot set an owned option is still there, in order, byte for byte.
        const auto lines = split_lines(once);
        auto next = lines.begin();
        for (auto line : split_lines(
                 std::string_view(input).substr(input.starts_with("\xEF\xBB\xBF") ? 3 : 0))) {
            if (std::ranges::any_of(owned_words,
                                    [&](auto word) { return line.find(word) != line.npos; }))
                continue;
            next = std::find(next, lines.end(), line);
            ASSERT_NE(next++, lines.end()) << testing::PrintToString(input);
        }
    }
}

using PropertyFiles = ScratchProgramData;

TEST_F(PropertyFiles, WriteMyIniTwiceEqualsOnce) {
    TextSource source(4242);
    ConnectionSettings settings = default_settings();
    settings.port = 3999;
    for (int i = 0; i < 60; ++i) {
        std::string input = source.text(source.length(50));
        put("my.ini", input);
        ASSERT_TRUE(write_my_ini("C:\\KELTA\\MySQL", settings).has_value());
        std::string once = *read_file(my_ini_path());
        ASSERT_TRUE(write_my_ini("C:\\KELTA\\MySQL", settings).has_value());
        ASSERT_EQ(*read_file(my_ini_path()), once) << testing::PrintToString(input);
        EXPECT_EQ(configured_port(), 3999);
    }
}

TEST_F(PropertyFiles, SettingsAndLegacyFilesFromRandomBytes) {
    TextSource source(31337);
    for (int i = 0; i < 60; ++i) {
        std::string ini = source.text(source.length(40));
        std::string txt = source.text(source.length(40));
        put("connection.ini", ini);
        put("connection.txt", txt);
        auto read = read_settings_file(settings_path());
        ASSERT_EQ(read.has_value(), is_valid_utf8(ini));
        auto legacy = import_legacy_file();
        ASSERT_EQ(legacy.has_value(), is_valid_utf8(txt));
        auto loaded = load_settings();
        ASSERT_EQ(loaded.has_value(), read.has_value() || legacy.has_value());
        if (read) {
            EXPECT_EQ(loaded->port, read->port);
        }
    }
}

} // namespace
