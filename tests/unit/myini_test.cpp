// my.ini: the new file byte for byte, the in-place update of an administrator's file, and the
// readers' fall-backs.
#include "scratch.h"
#include "svc/myini.h"
#include "svc/myini_text.h"

#include <gtest/gtest.h>

namespace {

ConnectionSettings settings_on(std::uint16_t port, const std::string& bind = "0.0.0.0") {
    ConnectionSettings s = default_settings();
    s.port = port;
    s.bind = bind;
    return s;
}

OwnedMyIniOptions owned(std::uint16_t port = 3307, const std::string& bind = "0.0.0.0") {
    return owned_my_ini_options("C:\\Program Files\\KELTA Retail MySQL\\MySQL",
                                settings_on(port, bind));
}

// The five owned lines as written for owned().
const std::string owned_block = "basedir=C:/Program Files/KELTA Retail MySQL/MySQL\r\n"
                                "port=3307\r\n"
                                "bind-address=0.0.0.0\r\n"
                                "enable-named-pipe=1\r\n"
                                "socket=KELTA_MYSQL57\r\n";

TEST(MyIniText, NewFileHasSixteenLines) {
    EXPECT_EQ(new_my_ini_text(owned(4406, "192.168.1.5"), "D:\\PD\\KELTA Retail\\MySQL\\data",
                              "D:\\PD\\KELTA Retail\\MySQL\\error.log"),
              "[mysqld]\r\n"
              "basedir=C:/Program Files/KELTA Retail MySQL/MySQL\r\n"
              "port=4406\r\n"
              "bind-address=192.168.1.5\r\n"
              "enable-named-pipe=1\r\n"
              "socket=KELTA_MYSQL57\r\n"
              "datadir=D:/PD/KELTA Retail/MySQL/data\r\n"
              "log-error=D:/PD/KELTA Retail/MySQL/error.log\r\n"
              "character-set-server=utf8mb4\r\n"
              "collation-server=utf8mb4_unicode_ci\r\n"
              "default-storage-engine=InnoDB\r\n"
              "sql_mode=STRICT_TRANS_TABLES,NO_ENGINE_SUBSTITUTION\r\n"
              "explicit_defaults_for_timestamp=1\r\n"
              "skip-name-resolve\r\n"
              "max_connections=100\r\n"
              "innodb_buffer_pool_size=128M\r\n");
}

TEST(MyIniText, PathTextIsLossyUtf8WithSlashes) {
    EXPECT_EQ(my_ini_path_text("C:\\Donn\u00E9es\\x"), "C:/Donn\u00E9es/x");
    EXPECT_EQ(my_ini_path_text("C:\\bad\xFF"), "C:/bad\uFFFD");
    // The server reads "#" as the start of a comment: such a path is written in quotes.
    auto text = new_my_ini_text(owned_my_ini_options("C:\\Shop #2", {}), "D:\\d", "D:\\e.log");
    EXPECT_EQ(my_ini_value(text, "basedir"), "C:/Shop #2");
}

TEST(MyIniText, UpdateKeepsForeignLinesAndConvertsLineEnds) {
    std::string existing = "# my own comment\n"
                           "[client]\n"
                           "default-character-set=utf8mb4\n"
                           "[mysqld]\n"
                           "basedir=C:/old\n"
                           "port=3310\n"
                           "bind-address=10.0.0.1\n"
                           "enable-named-pipe=1\n"
                           "socket=KELTA_MYSQL57\n"
                           "max_connections=500\n"
                           "#port=1\n";
    EXPECT_EQ(update_my_ini_text(existing, owned()), "# my own comment\r\n"
                                                     "[client]\r\n"
                                                     "default-character-set=utf8mb4\r\n"
                                                     "[mysqld]\r\n" +
                                                         owned_block +
                                                         "max_connections=500\r\n"
                                                         "#port=1\r\n");
}

TEST(MyIniText, IndentedAndTrailingTextIsReplaced) {
    std::string existing = "[mysqld]\r\n  \tport=3310 # old port\r\nport=3311\r\n";
    std::string updated = update_my_ini_text(existing, owned());
    EXPECT_TRUE(updated.starts_with("[mysqld]\r\nsocket=KELTA_MYSQL57\r\n")) << updated;
    EXPECT_NE(updated.find("\r\nport=3307\r\nport=3307\r\n"), std::string::npos) << updated;
}

// As for the server, blanks around "=" do not matter.
TEST(MyIniText, BlankBeforeEqualsIsTheOptionToo) {
    std::string updated = update_my_ini_text("[mysqld]\r\nport = 3310\r\n", owned());
    EXPECT_EQ(updated, "[mysqld]\r\n"
                       "socket=KELTA_MYSQL57\r\n"
                       "enable-named-pipe=1\r\n"
                       "bind-address=0.0.0.0\r\n"
                       "basedir=C:/Program Files/KELTA Retail MySQL/MySQL\r\n"
                       "port=3307\r\n");
    EXPECT_EQ(my_ini_value("[mysqld]\r\nport = 3310\r\n", "port"), "3310");
}

TEST(MyIniText, MissingOptionsGoUnderMysqldInReverseOrder) {
    std::string existing = "[client]\r\nport=3310\r\n  [mysqld]  \r\nbind-address=1.2.3.4\r\n";
    EXPECT_EQ(update_my_ini_text(existing, owned()),
              "[client]\r\n"
              "port=3310\r\n" // the client's port is not the server's
              "  [mysqld]  \r\n"
              "socket=KELTA_MYSQL57\r\n"
              "enable-named-pipe=1\r\n"
              "port=3307\r\n"
              "basedir=C:/Program Files/KELTA Retail MySQL/MySQL\r\n"
              "bind-address=0.0.0.0\r\n");
}

TEST(MyIniText, OnlyBasedirMissing) {
    std::string existing = "[mysqld]\r\nport=1\r\nbind-address=0.0.0.0\r\n"
                           "enable-named-pipe=1\r\nsocket=KELTA_MYSQL57\r\n";
    EXPECT_EQ(update_my_ini_text(existing, owned()), "[mysqld]\r\n" + owned_block);
}

TEST(MyIniText, WithoutMysqldSectionItIsAddedWithTheOptionsInOrder) {
    EXPECT_EQ(update_my_ini_text("", owned()), "[mysqld]\r\n" + owned_block);
    EXPECT_EQ(update_my_ini_text("[client]\nuser=x", owned()),
              "[client]\r\nuser=x\r\n[mysqld]\r\n" + owned_block);
    // "[mysqld" is not the section.
    EXPECT_EQ(update_my_ini_text("[mysqld\n", owned()), "[mysqld\r\n[mysqld]\r\n" + owned_block);
}

// Only [mysqld] counts, the last line wins, and comments and quotes are read as the server does.
TEST(MyIniText, ValueReader) {
    std::string text = "[mysqld]\r\n port = x\r\n  port=  4000 # old \r\nsocket=\r\n"
                       "basedir='C:/a#b'\r\n[client]\r\nport=5000\r\n";
    EXPECT_EQ(my_ini_value(text, "port"), "4000");
    EXPECT_EQ(my_ini_value(text, "basedir"), "C:/a#b");
    EXPECT_EQ(my_ini_value(text, "socket"), "");
    EXPECT_EQ(my_ini_value("bind-address=1.2.3.4", "bind"), std::nullopt);
}

using MyIniFile = ScratchProgramData;

std::string my_ini() {
    return *read_file(my_ini_path());
}

TEST_F(MyIniFile, NewFileWhenMissing) {
    ASSERT_TRUE(create_directories(data_root()).has_value());
    ASSERT_TRUE(write_my_ini("C:\\App\\MySQL", settings_on(4406)).has_value());
    std::string root = my_ini_path_text(data_root());
    EXPECT_EQ(my_ini(), new_my_ini_text(owned_my_ini_options("C:\\App\\MySQL", settings_on(4406)),
                                        data_dir(), error_log_path()));
    EXPECT_NE(
        my_ini().find("\r\ndatadir=" + root + "/data\r\nlog-error=" + root + "/error.log\r\n"),
        std::string::npos);
    EXPECT_FALSE(path_exists(my_ini_path() + ".new"));
}

// A comment typed in an old editor's code page is no reason to rebuild the administrator's file.
TEST_F(MyIniFile, NonUtf8FileIsEditedAsBytes) {
    put("my.ini", "[mysqld]\r\nport=3310\r\ncomment=caf\xE9\r\n");
    ASSERT_TRUE(write_my_ini("C:\\App\\MySQL", settings_on(3307)).has_value());
    EXPECT_TRUE(my_ini().ends_with("basedir=C:/App/MySQL\r\nport=3307\r\ncomment=caf\xE9\r\n"));
}

TEST_F(MyIniFile, ExistingFileIsUpdatedInPlace) {
    put("my.ini", "[mysqld]\nport=3310\ninnodb_buffer_pool_size=1G\n");
    ASSERT_TRUE(write_my_ini("C:\\App\\MySQL", settings_on(3400, "10.0.0.4")).has_value());
    EXPECT_EQ(my_ini(), "[mysqld]\r\n"
                        "socket=KELTA_MYSQL57\r\n"
                        "enable-named-pipe=1\r\n"
                        "bind-address=10.0.0.4\r\n"
                        "basedir=C:/App/MySQL\r\n"
                        "port=3400\r\n"
                        "innodb_buffer_pool_size=1G\r\n");
    EXPECT_EQ(configured_port(), 3400);
    EXPECT_EQ(read_my_ini_value("bind-address"), "10.0.0.4");
}

// An administrator's Notepad adds a byte-order mark; the "[mysqld]" line must still be found.
TEST_F(MyIniFile, ByteOrderMarkIsDroppedAndTheSectionStillFound) {
    put("my.ini", "\xEF\xBB\xBF[mysqld]\r\nmax_connections=50\r\n");
    ASSERT_TRUE(write_my_ini("C:\\App\\MySQL", settings_on(3400)).has_value());
    EXPECT_TRUE(my_ini().starts_with("[mysqld]\r\nsocket=KELTA_MYSQL57\r\n")) << my_ini();
    EXPECT_NE(my_ini().find("\r\nmax_connections=50\r\n"), std::string::npos);
}

TEST_F(MyIniFile, WriteFailureNamesThePathAndKeepsNoTemporaryFile) {
    // A folder where my.ini should be: the replacement cannot take its place.
    ASSERT_TRUE(create_directories(my_ini_path()).has_value());
    auto written = write_my_ini("C:\\App\\MySQL", settings_on(3307));
    ASSERT_FALSE(written.has_value());
    EXPECT_TRUE(written.error().starts_with(my_ini_path() + ": ")) << written.error();
    EXPECT_FALSE(path_exists(my_ini_path() + ".new"));
    // Without the data root the file cannot be written at all; the folder is not created here.
    delete_tree(data_root());
    written = write_my_ini("C:\\App\\MySQL", settings_on(3307));
    ASSERT_FALSE(written.has_value());
    EXPECT_TRUE(written.error().starts_with(my_ini_path() + ": ")) << written.error();
    EXPECT_FALSE(path_exists(data_root()));
}

TEST_F(MyIniFile, ConfiguredPortFallsBackTo3307) {
    EXPECT_EQ(configured_port(), 3307); // no file
    EXPECT_EQ(read_my_ini_value("port"), std::nullopt);
    const std::pair<const char*, std::uint16_t> cases[] = {
        {"[mysqld]\r\n", 3307},      {"port=-1\r\n", 3307}, {"port=65536\r\n", 3307},
        {"port=33a7\r\n", 3307},     {"port=\r\n", 3307},   {"port=+3400\r\n", 3400},
        {"port=003400\r\n", 3400},   {"port=0\r\n", 0},     {" port = 1\r\nport=3401\r\n", 3401},
        {"port=3402\xFF\r\n", 3307}, {"port=3403 # moved\r\n", 3403},
    };
    for (const auto& [lines, port] : cases) {
        const std::string text = std::string("[mysqld]\r\n") + lines;
        put("my.ini", text);
        EXPECT_EQ(configured_port(), port) << text;
    }
}

} // namespace
