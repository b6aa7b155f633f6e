// connection.ini's format, its tolerant reader, and the fall-back to the legacy connection.txt;
// backup.ini's strict one, the automatic backup's list, tasks, warnings and their language.
#include "config/legacy.h"
#include "config/settings.h"
#include "scratch.h"
#include "svc/auto_backup.h"
#include "svc/backup_failures.h"
#include "svc/backup_settings.h"
#include "svc/backup_state.h"
#include "svc/dump_list.h"
#include "svc/tasks.h"

#include <gtest/gtest.h>

#include <set>

namespace {

const std::string url_safe_alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

ConnectionSettings sample() {
    return {.port = 4406,
            .database = "shop_db",
            .user = "till",
            .password = "Pa=ss-word_1",
            .host = "192.168.1.%",
            .bind = "10.0.0.5",
            .firewall = false,
            .root_password = "r00t-PASSWORD_abcdefghijk"};
}

TEST(RandomPassword, LengthAndAlphabet) {
    for (size_t length : {0u, 1u, 16u, 24u, 300u}) {
        std::string password = random_password(length);
        EXPECT_EQ(password.size(), length);
        EXPECT_EQ(password.find_first_not_of(url_safe_alphabet), std::string::npos) << password;
    }
}

TEST(RandomPassword, EverySymbolTurnsUpAndDrawsDiffer) {
    // 64 symbols over 20000 draws: a missing symbol would mean a broken mapping, not bad luck.
    std::set<char> seen;
    for (char c : random_password(20000))
        seen.insert(c);
    EXPECT_EQ(seen.size(), 64u);
    EXPECT_NE(random_password(24), random_password(24));
}

TEST(DefaultSettings, FieldsAndFreshPasswords) {
    ConnectionSettings a = default_settings(), b = default_settings();
    EXPECT_EQ(a.port, 3307);
    EXPECT_EQ(a.database, "kelta_retail");
    EXPECT_EQ(a.user, "kelta_retail");
    EXPECT_EQ(a.host, "%");
    EXPECT_EQ(a.bind, "0.0.0.0");
    EXPECT_TRUE(a.firewall);
    EXPECT_EQ(a.password.size(), 16u);
    EXPECT_EQ(a.root_password.size(), 24u);
    EXPECT_NE(a.password, b.password);
    EXPECT_NE(a.root_password, b.root_password);
}

TEST(RenderSettings, TenLinesWithCrLf) {
    EXPECT_EQ(render_settings(sample()),
              "; KELTA Retail MySQL - connection settings (change them in the tray: Setup)\r\n"
              "[connection]\r\n"
              "port=4406\r\n"
              "database=shop_db\r\n"
              "user=till\r\n"
              "password=Pa=ss-word_1\r\n"
              "host=192.168.1.%\r\n"
              "bind=10.0.0.5\r\n"
              "firewall=0\r\n"
              "root_password=r00t-PASSWORD_abcdefghijk\r\n");
    ConnectionSettings on = sample();
    on.firewall = true;
    EXPECT_NE(render_settings(on).find("\r\nfirewall=1\r\n"), std::string::npos);
}

TEST(ParseSettings, ReadsBackWhatIsRendered) {
    EXPECT_EQ(parse_settings(render_settings(sample())), sample());
    ConnectionSettings defaults = default_settings();
    EXPECT_EQ(parse_settings(render_settings(defaults)), defaults);
    // An old installation's empty root password survives too, and only the written mark means it.
    ConnectionSettings legacy = parse_legacy_settings("root / \n");
    EXPECT_EQ(parse_settings(render_settings(legacy)), legacy);
    EXPECT_EQ(parse_settings("root_password=\"\"x").root_password, "\"\"x");
}

TEST(ParseSettings, CommentAndSectionOnlyGiveDefaultsWithNewPasswords) {
    std::string text = "; comment\r\n[connection]\r\n";
    ConnectionSettings a = parse_settings(text), b = parse_settings(text);
    EXPECT_EQ(a.port, 3307);
    EXPECT_EQ(a.bind, "0.0.0.0");
    EXPECT_EQ(a.password.size(), 16u);
    EXPECT_EQ(a.root_password.size(), 24u);
    EXPECT_NE(a.password, b.password);
    EXPECT_NE(a.root_password, b.root_password);
}

TEST(ParseSettings, KeysAreTrimmedAndCaseInsensitive) {
    EXPECT_EQ(parse_settings("  PORT = 4000 \n").port, 4000);
    EXPECT_EQ(parse_settings("\tDataBase\t=\tX_y\t\r\n").database, "X_y");
    // Ideographic space (U+3000) and no-break space are white space too.
    EXPECT_EQ(parse_settings("\u3000user\u00A0=\u3000Bob\u3000").user, "Bob");
    // Exactly A-Z is lowered, whatever the locale: "BIND" is bind, "B<capital I with dot>ND" is
    // not.
    EXPECT_EQ(parse_settings("BIND=10.1.1.1").bind, "10.1.1.1");
    EXPECT_EQ(parse_settings("B\u0130ND=10.1.1.1").bind, "0.0.0.0");
}

TEST(ParseSettings, PortValues) {
    EXPECT_EQ(parse_settings("port=+5000").port, 5000);
    EXPECT_EQ(parse_settings("port=004000").port, 4000);
    EXPECT_EQ(parse_settings("port=0").port, 0);
    EXPECT_EQ(parse_settings("port=65535").port, 65535);
    for (const char* bad : {"port=-1", "port=65536", "port=", "port=+", "port=12a4", "port=1 2",
                            "port=99999999999999999999999"})
        EXPECT_EQ(parse_settings(bad).port, 3307) << bad;
    // A bad line resets an earlier good one instead of being skipped.
    EXPECT_EQ(parse_settings("port=4000\nport=40x0\n").port, 3307);
    EXPECT_EQ(parse_settings("port=40x0\nport=4000\n").port, 4000);
}

TEST(ParseSettings, EmptyValues) {
    ConnectionSettings s =
        parse_settings("bind=\nroot_password=\npassword=\ndatabase=\nuser=\nhost=");
    EXPECT_EQ(s.bind, "0.0.0.0");
    EXPECT_EQ(s.root_password.size(), 24u);
    EXPECT_EQ(s.password, "");
    EXPECT_EQ(s.database, "");
    EXPECT_EQ(s.user, "");
    EXPECT_EQ(s.host, "");
    // An empty bind or root password keeps what an earlier line set.
    s = parse_settings("bind=10.0.0.1\nroot_password=abc\nbind=  \nroot_password=\t");
    EXPECT_EQ(s.bind, "10.0.0.1");
    EXPECT_EQ(s.root_password, "abc");
}

TEST(ParseSettings, ValuesKeepCaseAndLaterEquals) {
    ConnectionSettings s = parse_settings("password = a=b==c \r\nhost=My-PC\r\n");
    EXPECT_EQ(s.password, "a=b==c");
    EXPECT_EQ(s.host, "My-PC");
    EXPECT_EQ(parse_settings("user=a\nuser=b\n").user, "b");
}

TEST(ParseSettings, FirewallWords) {
    for (const char* off : {"off", "false", "0"})
        EXPECT_FALSE(parse_settings(std::string("firewall=") + off).firewall) << off;
    for (const char* on : {"no", "False", "OFF", "", "1", "yes", "00"})
        EXPECT_TRUE(parse_settings(std::string("firewall=") + on).firewall) << on;
    EXPECT_FALSE(parse_settings("firewall = off \r\n").firewall);
}

TEST(ParseSettings, OddLinesAreIgnored) {
    ConnectionSettings s = parse_settings("#port=4000\n;user=x\nnoequals\n\n[other]\nuser=kept\n"
                                          "colour=blue\n=value\n");
    EXPECT_EQ(s.port, 3307);
    // Sections are not looked at: the key line counts wherever it stands.
    EXPECT_EQ(s.user, "kept");
    // A CR inside a line is not a line end; the value stops at LF only.
    EXPECT_EQ(parse_settings("user=a\rport=4000\n").user, "a\rport=4000");
}

TEST(ParseLegacy, PasswordsFromTheOldLines) {
    ConnectionSettings s = parse_legacy_settings(
        "KELTA Retail MySQL\r\nDatabase: kelta_retail\r\nPassword: app-secret  \r\n"
        "Administrator: root / root-secret\r\n");
    EXPECT_EQ(s.password, "app-secret");
    EXPECT_EQ(s.root_password, "root-secret");
    ConnectionSettings d = default_settings();
    d.password = s.password;
    d.root_password = s.root_password;
    EXPECT_EQ(s, d);
}

TEST(ParseLegacy, OnlyTheExactLabelCounts) {
    ConnectionSettings s =
        parse_legacy_settings("password: small\nPassword:nospace\n Password: indented\n");
    EXPECT_EQ(s.password.size(), 16u);
    EXPECT_EQ(s.password.find(':'), std::string::npos);
    EXPECT_EQ(parse_legacy_settings("Root / x\nroot /x\n").root_password.size(), 24u);
}

TEST(ParseLegacy, OneLineCanSetBoth) {
    ConnectionSettings s = parse_legacy_settings("Password: abc root / def");
    EXPECT_EQ(s.password, "abc root / def");
    EXPECT_EQ(s.root_password, "def");
    // The first "root / " of a line wins; a later line overwrites.
    EXPECT_EQ(parse_legacy_settings("x root / a root / b").root_password, "a root / b");
    EXPECT_EQ(parse_legacy_settings("Password: 1\nPassword: 2").password, "2");
}

TEST(ParseLegacy, EmptyRemaindersAreTaken) {
    ConnectionSettings s = parse_legacy_settings("Password: \nroot / \n");
    EXPECT_EQ(s.password, "");
    EXPECT_EQ(s.root_password, "");
}

using SettingsFiles = ScratchProgramData;

TEST_F(SettingsFiles, ReadErrorsNameThePath) {
    put("connection.ini", render_settings(sample()));
    auto read = read_settings_file(settings_path());
    ASSERT_TRUE(read.has_value()) << read.error();
    EXPECT_EQ(*read, sample());

    std::string missing = join_path(data_root(), "missing.ini");
    auto error = read_settings_file(missing);
    ASSERT_FALSE(error.has_value());
    EXPECT_TRUE(error.error().starts_with(missing + ": ")) << error.error();
    EXPECT_GT(error.error().size(), missing.size() + 2);
}

TEST_F(SettingsFiles, NonUtf8AndUtf16AreReadErrors) {
    put("latin1.ini", "port=4000\r\nuser=J\xF6rg\r\n");
    put("utf16.ini", std::string("\xFF\xFEp\0o\0r\0t\0=\0"
                                 "4\0"
                                 "0\0"
                                 "0\0"
                                 "0\0",
                                 20));
    for (const char* name : {"latin1.ini", "utf16.ini"}) {
        std::string path = join_path(data_root(), name);
        auto read = read_settings_file(path);
        ASSERT_FALSE(read.has_value()) << name;
        EXPECT_TRUE(read.error().starts_with(path + ": ")) << read.error();
    }
}

// A settings file saved by Notepad starts with a byte-order mark; its first key still counts.
TEST_F(SettingsFiles, ByteOrderMarkDoesNotHideTheFirstKey) {
    put("notepad.ini", "\xEF\xBB\xBFport=4000\r\nuser=pos\r\n");
    auto read = read_settings_file(join_path(data_root(), "notepad.ini"));
    ASSERT_TRUE(read.has_value()) << read.error();
    EXPECT_EQ(read->port, 4000);
    EXPECT_EQ(read->user, "pos");
}

TEST_F(SettingsFiles, LoadPrefersConnectionIni) {
    put("connection.ini", render_settings(sample()));
    put("connection.txt", "Password: legacy-pass\nroot / legacy-root\n");
    EXPECT_EQ(load_settings(), sample());
}

TEST_F(SettingsFiles, UnreadableIniFallsBackToLegacyFile) {
    put("connection.txt", "Password: legacy-pass\r\nroot / legacy-root\r\n");
    for (std::string ini :
         {std::string("port=4000\r\nuser=J\xF6rg\r\n"), std::string("\xFF\xFEp\0o\0r\0t\0", 10)}) {
        put("connection.ini", ini);
        auto loaded = load_settings();
        ASSERT_TRUE(loaded.has_value());
        EXPECT_EQ(loaded->password, "legacy-pass");
        EXPECT_EQ(loaded->root_password, "legacy-root");
        EXPECT_EQ(loaded->port, 3307);
    }
    ASSERT_TRUE(delete_file(settings_path()));
    EXPECT_EQ(load_settings()->root_password, "legacy-root");
}

TEST_F(SettingsFiles, NothingWithoutEitherFile) {
    EXPECT_FALSE(load_settings().has_value());
    EXPECT_FALSE(import_legacy_file().has_value());
    // A legacy file that is not UTF-8 is as good as none.
    put("connection.txt", "Password: caf\xE9\n");
    EXPECT_FALSE(import_legacy_file().has_value());
    EXPECT_FALSE(load_settings().has_value());
}

} // namespace

// backup.ini: what it holds round-trips; a value the backup could not use is an error naming the
// key when read, and refused with its reason when saved.
TEST(BackupSettings, ReadStrictlyAndCheckedBeforeSaving) {
    const BackupSettings chosen{.enabled = false,
                                .time = "23:05",
                                .keep = 30,
                                .folder = "D:\\B",
                                .copy_to = "\\\\nas\\shop"};
    EXPECT_EQ(parse_backup_settings(render_backup_settings(chosen), "b.ini"), chosen);
    EXPECT_EQ(parse_backup_settings("[backup]\n", "b.ini"), default_backup_settings());
    for (const char* odd : {"ENABLED = maybe", "time=24:00", "keep=366", "folder=backups",
                            "copy_to=\\\\?\\C:\\x", "enabled=0\nfolder=D:\\B\ncopy_to=d:\\b"})
        EXPECT_FALSE(parse_backup_settings(std::string("[backup]\n") + odd, "b.ini")) << odd;
    EXPECT_EQ(error_text(parse_backup_settings("[backup]\nenabled=0\nkeep=abc\n", "b.ini")),
              "b.ini: keep=abc cannot be used");
    EXPECT_TRUE(default_backup_settings().folder.ends_with("\\backups\\daily"));

    auto refusal = [&](BackupSettings changed) {
        return error_text(validate_backup_settings(changed));
    };
    EXPECT_EQ(refusal(chosen), "");
    EXPECT_EQ(refusal({.time = "2:30", .folder = "D:\\B"}),
              "Time: use hours and minutes, such as 02:30");
    EXPECT_EQ(refusal({.keep = 0, .folder = "D:\\B"}), "Number kept: from 1 to 365");
    EXPECT_EQ(refusal({.folder = "B"}), "Folder: give a full path, such as D:\\Backups");
    EXPECT_EQ(refusal({.folder = "D:\\B", .copy_to = "E:"}),
              "Copy to: give a full path, such as E:\\Backups, or leave it empty");
    EXPECT_EQ(refusal({.folder = "D:\\B", .copy_to = "d:\\b"}),
              "Copy to: choose a folder other than the backup folder");
}

// Pruning goes by the order the dumps were made and takes only listed files still as made,
// never the newest; what is gone or was replaced is forgotten, a missing file only after a while.
TEST(AutomaticDumps, NamesAndWhatPruningTakes) {
    AutomaticDump dump;
    EXPECT_TRUE(is_automatic_dump_name("shop_20260301_023000-2.SQL", "shop", dump));
    EXPECT_EQ(dump.stamp, "20260301_023000");
    EXPECT_EQ(dump.number, 2);
    for (const char* other :
         {"shop_20260301_0230.sql", "shop_notes.sql", "shop2_20260301_023000.sql",
          "shop_20260301_023000-1.sql", "shop_20260301_023000.sql.tmp"})
        EXPECT_FALSE(is_automatic_dump_name(other, "shop", dump)) << other;

    DumpList list;
    for (const char* path : {"d1", "gone", "d3", "other", "d5"})
        add_dump(list, {.time = "2026-03-01 02:30:00", .size = 7, .path = path});
    add_dump(list, {.time = "2026-03-01 02:31:00", .size = 7, .path = "c|6", .copy = true});
    EXPECT_EQ(parse_dump_list(render_dump_list(list)), list);
    auto presence = [](const ListedDump& listed) {
        if (listed.path == "gone") return Presence::missing;
        return listed.path == "other" ? Presence::replaced : Presence::as_made;
    };
    EXPECT_EQ(dumps_to_prune(list, false, 1, 5, presence), (std::vector<std::string>{"d3", "d1"}));
    EXPECT_EQ(dumps_to_prune(list, false, 1, 1, presence), (std::vector<std::string>{"d3"}));
    EXPECT_TRUE(dumps_to_prune(list, true, 1, 6, presence).empty());
    forget_gone(list, {"d3"}, 10, presence);
    EXPECT_EQ(list.dumps.size(), 4u);
    forget_gone(list, {}, 4, presence);
    ASSERT_EQ(list.dumps.size(), 3u);
    EXPECT_EQ(list.dumps[0].path, "d1");
    EXPECT_EQ(list.next, 7u);
}

// The nightly tasks start at the next time of day to come, never in the past (a start in the
// past would count as missed and run at once).
TEST(AutomaticDumps, TaskStartsAtTheNextTimeToCome) {
    const SYSTEMTIME now{.wYear = 2026, .wMonth = 12, .wDay = 31, .wHour = 3};
    auto start_of = [&](std::string_view time) {
        const std::string xml = task_definition({.name = "T",
                                                 .program = "C:\\a&b\\k.exe",
                                                 .arguments = "--x",
                                                 .time = time,
                                                 .time_limit = std::chrono::hours(4)},
                                                now);
        EXPECT_NE(xml.find("<Command>\"C:\\a&amp;b\\k.exe\"</Command>"), std::string::npos);
        EXPECT_NE(xml.find("<ExecutionTimeLimit>PT4H</ExecutionTimeLimit>"), std::string::npos);
        const std::size_t at = xml.find("<StartBoundary>") + 15;
        return xml.substr(at, 19);
    };
    EXPECT_EQ(start_of("02:30"), "2027-01-01T02:30:00");
    EXPECT_EQ(start_of("03:00"), "2027-01-01T03:00:00");
    EXPECT_EQ(start_of("04:00"), "2026-12-31T04:00:00");
}

// Late is late from the last good backup or from the switch-on, whichever came later; the task
// missing after a switch-on comes first. A stored failure is told in the reader's language, the
// tool's words kept.
TEST(AutomaticDumps, WarningsAndTheirLanguage) {
    const SYSTEMTIME now{.wYear = 2026, .wMonth = 3, .wDay = 2, .wHour = 12};
    auto warned = [&](BackupRun run, std::optional<bool> task = true) {
        auto warning = backup_warning(run, task, now);
        return warning ? backup_warning_text(*warning, Lang::en) : std::string("none");
    };
    EXPECT_EQ(warned({}), "none");
    EXPECT_EQ(warned({.switched_on = "2026-03-01 09:59:59"}),
              "No automatic backup since 2026-03-01 09:59");
    EXPECT_EQ(
        warned({.last_good_time = "2026-02-01 02:30:00", .switched_on = "2026-03-01 11:00:00"}),
        "none");
    EXPECT_EQ(warned({.last_good_time = "2026-03-01 11:00:00"}, false), "none");
    EXPECT_EQ(warned({.error = "x", .switched_on = "2026-03-01 11:00:00"}, false),
              "The automatic backup task is missing");
    EXPECT_EQ(warned({.error = "mysqldump failed: x"}, std::nullopt),
              "Automatic backup failed: mysqldump failed: x");
    EXPECT_EQ(translate_failure("copy to E:\\b failed: E:\\b\\s.sql: the copy is not as large as "
                                "the dump",
                                Lang::fr),
              "la copie vers E:\\b a échoué : E:\\b\\s.sql : la copie est plus petite que la "
              "sauvegarde");
    EXPECT_EQ(translate_failure("mysqldump failed: x", Lang::es), "mysqldump failed: x");
}
