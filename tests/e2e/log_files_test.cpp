// Log rotation with no service installed: plain renames, no server involved. (With a service
// installed, rotation asks the server; these run one at a time with the tests that install one.)
#include "harness.h"

#include "base/files.h"
#include "instance/paths.h"
#include "svc/rotate.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

class LogFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        e2e::remove_service("KeltaMySQL57");
        SetEnvironmentVariableW(L"ProgramData", L"C:\\kelta-unit-rotate");
        delete_tree("C:\\kelta-unit-rotate");
        ASSERT_TRUE(create_directories(data_root()).has_value());
    }
    void TearDown() override {
        delete_tree("C:\\kelta-unit-rotate");
        SetEnvironmentVariableW(L"ProgramData", L"C:\\ProgramData");
    }
    static void sized(const std::string& path, size_t bytes, char fill = 'x') {
        ASSERT_TRUE(::write_file(path, std::string(bytes, fill)).has_value());
    }
    static std::string content(const std::string& path) { return ::read_file(path).value_or("<missing>"); }
};

TEST_F(LogFiles, ErrorLogAtTheLimitStaysOneByteMoreRotates) {
    sized(error_log_path(), 10485760);
    ASSERT_TRUE(rotate_logs(std::nullopt).has_value());
    EXPECT_FALSE(path_exists(error_log_path() + ".1"));
    sized(error_log_path(), 10485761);
    ASSERT_TRUE(rotate_logs(std::nullopt).has_value());
    EXPECT_TRUE(path_exists(error_log_path() + ".1"));
    EXPECT_FALSE(path_exists(error_log_path()));
}

TEST_F(LogFiles, FiveCopiesShiftAndTheOldestGoes) {
    const std::string log = error_log_path();
    for (int n = 1; n <= 5; ++n) sized(log + "." + std::to_string(n), 1, static_cast<char>('0' + n));
    sized(log, 20, 'n');
    ASSERT_TRUE(rotate_logs(0).has_value());
    EXPECT_EQ(content(log + ".1"), std::string(20, 'n'));
    for (int n = 2; n <= 5; ++n)
        EXPECT_EQ(content(log + "." + std::to_string(n)), std::string(1, static_cast<char>('0' + n - 1)));
    EXPECT_FALSE(path_exists(log + ".6"));
}

TEST_F(LogFiles, GapsAreNotClosed) {
    const std::string log = activity_log_path();
    sized(log + ".1", 1, '1');
    sized(log + ".3", 1, '3');
    sized(log, 1048577);
    ASSERT_TRUE(rotate_logs(std::nullopt).has_value());
    EXPECT_EQ(content(log + ".2"), "1");
    EXPECT_EQ(content(log + ".4"), "3");
    EXPECT_FALSE(path_exists(log + ".3"));
    EXPECT_EQ(file_size(log + ".1"), 1048577u);
}

TEST_F(LogFiles, LimitZeroRotatesEveryNonEmptyFile) {
    sized(activity_log_path(), 1);
    ASSERT_TRUE(::write_file(error_log_path(), "").has_value());
    ASSERT_TRUE(rotate_logs(0).has_value());
    EXPECT_TRUE(path_exists(activity_log_path() + ".1"));
    EXPECT_TRUE(path_exists(error_log_path()));
    EXPECT_FALSE(path_exists(error_log_path() + ".1"));
}

TEST_F(LogFiles, MissingLogsAreNoError) {
    EXPECT_TRUE(rotate_logs(std::nullopt).has_value());
    EXPECT_TRUE(rotate_logs(0).has_value());
}

} // namespace
