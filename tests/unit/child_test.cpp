#include "base/child.h"
#include "base/files.h"
#include "instance/paths.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

std::string self() { return *executable_path(); }

TEST(RunHidden, ExitCodesBecomeTexts) {
    EXPECT_TRUE(run_hidden(self(), {"--child", "spew", "0", "0"}).has_value());
    auto two = run_hidden(self(), {"--child", "spew", "0", "2"});
    ASSERT_FALSE(two.has_value());
    EXPECT_EQ(two.error(), "exit code Some(2)");
    auto negative = run_hidden(self(), {"--child", "spew", "0", "-1"});
    ASSERT_FALSE(negative.has_value());
    EXPECT_EQ(negative.error(), "exit code Some(-1)");
}

// A hung child is ended at its limit and named, also one that never reads the input it is given.
TEST(RunHidden, AChildPastItsLimitIsEndedAndNamed) {
    const std::chrono::seconds limit(1);
    auto hung = run_hidden(self(), {"--child", "sleep", "600000"}, limit);
    EXPECT_EQ(error_text(hung), "kelta_unit did not finish within 1 s");
    ChildProcess deaf{self(), {"--child", "sleep", "600000"}, {}};
    auto fed = run_captured(deaf, {.text = std::string(4 << 20, 'q')}, false, limit);
    EXPECT_EQ(error_text(fed), "kelta_unit did not finish within 1 s");
}

TEST(RunHidden, MissingProgramGivesTheSystemDescription) {
    auto missing = run_hidden("C:\\no\\such\\program.exe", {});
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error().find("exit code"), std::string::npos);
    EXPECT_FALSE(missing.error().empty());
}

TEST(RunCaptured, ChildWritingMuchToBothStreamsDoesNotBlock) {
    // Far more than a pipe buffer on both streams at once.
    ChildProcess child{self(), {"--child", "spew", "3000000", "3"}, {}};
    auto outcome = run_captured(child, {}, true);
    ASSERT_TRUE(outcome.has_value()) << outcome.error();
    EXPECT_EQ(outcome->exit_code, 3u);
    EXPECT_GE(outcome->output.size(), 3000000u);
    EXPECT_EQ(outcome->output.size(), outcome->error.size());
}

TEST(RunCaptured, TextInputReachesTheChild) {
    std::string input(200000, 'q');
    input += "end";
    ChildProcess child{self(), {"--child", "echo", "0"}, {}};
    auto outcome = run_captured(child, {.text = input}, true);
    ASSERT_TRUE(outcome.has_value()) << outcome.error();
    EXPECT_EQ(outcome->output, input);
}

TEST(RunCaptured, ExtraEnvironmentReplacesInheritedValue) {
    SetEnvironmentVariableW(L"MYSQL_PWD", L"inherited");
    ChildProcess child{self(), {"--child", "env", "MYSQL_PWD"}, {{"MYSQL_PWD", "s3cret-_x"}}};
    auto outcome = run_captured(child, {}, true);
    SetEnvironmentVariableW(L"MYSQL_PWD", nullptr);
    ASSERT_TRUE(outcome.has_value()) << outcome.error();
    EXPECT_EQ(outcome->output, "s3cret-_x");
}

TEST(RunCaptured, DiscardedOutputStaysEmpty) {
    ChildProcess child{self(), {"--child", "spew", "10000", "0"}, {}};
    auto outcome = run_captured(child, {}, false);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_TRUE(outcome->output.empty());
    EXPECT_GE(outcome->error.size(), 10000u);
}

TEST(StderrSummary, KeepsTheLastFiveMeaningfulLines) {
    std::string text = "one\r\nmysql: [Warning] Using a password on the command line interface can be "
                       "insecure.\r\ntwo\nthree\nfour\nfive\nsix\n";
    EXPECT_EQ(stderr_summary(text), "two\nthree\nfour\nfive\nsix");
    EXPECT_EQ(stderr_summary(""), "");
    EXPECT_EQ(stderr_summary("a\nb"), "a\nb");
    EXPECT_EQ(stderr_summary("only warning: Using a password on the command line\n"), "");
}

TEST(StderrSummary, InvalidUtf8BecomesReplacementCharacter) {
    const std::string mark = "\xEF\xBF\xBD";
    EXPECT_EQ(stderr_summary("bad \xff byte\n"), "bad " + mark + " byte");
    // One mark for each broken sequence, not for each of its bytes: a character cut short...
    EXPECT_EQ(stderr_summary("\xE2\x82x"), mark + "x");
    EXPECT_EQ(stderr_summary("\xF0\x9F\x98"), mark);
    // ...but bytes that cannot continue the sequence start anew: overlong forms, surrogates,
    // code points above U+10FFFF and stray continuation bytes.
    EXPECT_EQ(stderr_summary("\xE0\x80\x80"), mark + mark + mark);
    EXPECT_EQ(stderr_summary("\xED\xA0\x80"), mark + mark + mark);
    EXPECT_EQ(stderr_summary("\xF4\x90\x80\x80"), mark + mark + mark + mark);
    EXPECT_EQ(stderr_summary("\x80\xBF"), mark + mark);
    EXPECT_EQ(stderr_summary("\xC0\xAF"), mark + mark);
    // Valid text around them is kept whole.
    EXPECT_EQ(stderr_summary("\xE4\xB8\xAD\xE4\xB8\xE6\x96\x87"),
              "\xE4\xB8\xAD" + mark + "\xE6\x96\x87");
}

} // namespace
