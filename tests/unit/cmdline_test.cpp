#include "base/cmdline.h"
#include "base/text.h"

#include <gtest/gtest.h>

namespace {

// What the elevated child would see: our quoting read back by the real Windows splitter.
std::vector<std::string> round_trip(const std::vector<std::string>& arguments) {
    return split_arguments(widen("KeltaMySQL.exe " + quote_arguments(arguments)));
}

TEST(QuoteArguments, PlainElementsStayUnchanged) {
    EXPECT_EQ(quote_arguments({"--backup", "D:\\x.sql"}), "--backup D:\\x.sql");
    EXPECT_EQ(quote_arguments({}), "");
}

TEST(QuoteArguments, ElementWithBlankIsQuoted) {
    EXPECT_EQ(quote_arguments({"D:\\My Backups\\x.sql", "--backup"}),
              "\"D:\\My Backups\\x.sql\" --backup");
}

TEST(QuoteArguments, NastyElementsSurviveTheRealSplitter) {
    const std::vector<std::vector<std::string>> cases = {
        {"D:\\My Backups\\", "--backup"},
        {"say \"hi\"", "x"},
        {"", "--restore", ""},
        {"tab\there", "back\\\\slashes\\\\ \\\"q\\"},
        {"\\\\server\\share\\a b\\", "trailing\\"},
        {"\"", "\\", "\\\"", " "},
        {"中文 路径\\备份.sql", "--quiet"},
    };
    for (const auto& arguments : cases) EXPECT_EQ(round_trip(arguments), arguments);
}

TEST(SplitArguments, DropsTheProgramPath) {
    EXPECT_EQ(split_arguments(L"\"C:\\Program Files\\k.exe\" --apply --config \"a b.ini\""),
              (std::vector<std::string>{"--apply", "--config", "a b.ini"}));
}

} // namespace
