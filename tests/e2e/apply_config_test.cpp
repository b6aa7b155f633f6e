// --apply --config <file>: the file is read with the settings reader and deleted whether or not it
// could be read; a reading error is the mode's failure.
#include "harness.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

struct Outcome {
    unsigned long exit_code;
    std::vector<std::string> log; // tray.log lines without their timestamps
};

Outcome apply_with(const TestFolder& folder, const std::string& config) {
    auto finished =
        run({{"--apply", "--config", config, "--quiet"}, {{"ProgramData", folder.program_data()}}});
    Outcome outcome{finished.exit_code, {}};
    for (const auto& line : lines_of(read_file(folder.path("tray.log")))) {
        EXPECT_TRUE(line.size() > 16 && is_timestamp(line.substr(0, 15))) << line;
        outcome.log.push_back(line.size() > 16 ? line.substr(16) : line);
    }
    return outcome;
}

TEST(ApplyConfig, UnreadableFileFailsWithItsPathAndIsDeleted) {
    TestFolder folder;
    std::string config = folder.program_data() + "\\settings.ini";
    write_file(config, "port=4000\r\npassword=caf\xE9-latin1\r\n");

    auto outcome = apply_with(folder, config);
    EXPECT_EQ(outcome.exit_code, 1u);
    ASSERT_EQ(outcome.log.size(), 1u);
    EXPECT_EQ(outcome.log[0], "--apply failed: " + config + ": the file is not valid UTF-8 text");
    EXPECT_FALSE(exists(config));
}

TEST(ApplyConfig, MissingFileFailsWithTheSystemsReason) {
    TestFolder folder;
    std::string config = folder.program_data() + "\\absent.ini";
    auto outcome = apply_with(folder, config);
    EXPECT_EQ(outcome.exit_code, 1u);
    ASSERT_EQ(outcome.log.size(), 1u);
    std::string prefix = "--apply failed: " + config + ": ";
    EXPECT_TRUE(outcome.log[0].starts_with(prefix)) << outcome.log[0];
    EXPECT_GT(outcome.log[0].size(), prefix.size());
}

// With no service installed, apply only stores the settings; install uses them later.
TEST(ApplyConfig, ReadableFileIsDeletedAndStoredWhenNothingIsInstalled) {
    TestFolder folder;
    remove_service("KeltaMySQL57");
    std::string config = folder.program_data() + "\\settings.ini";
    write_file(config, "[connection]\r\nport=4000\r\npassword=secret-pass\r\n");
    auto outcome = apply_with(folder, config);
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_FALSE(exists(config));
    EXPECT_TRUE(outcome.log.empty());
    std::string stored = read_file(folder.path("connection.ini"));
    EXPECT_NE(stored.find("\r\nport=4000\r\n"), std::string::npos);
    EXPECT_NE(stored.find("\r\npassword=secret-pass\r\n"), std::string::npos);
}

} // namespace
