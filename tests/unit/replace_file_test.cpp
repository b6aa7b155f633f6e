// Replacing a file in one step: the old content survives every failure, no temporary file is left,
// and a file holding secrets is never open to everyone, not even under its temporary name.
#include "access_list.h"
#include "scratch.h"

#include "base/files.h"
#include "base/text.h"
#include "svc/rotate.h"

#include <gtest/gtest.h>

namespace {

// The identifiers the file's access list grants anything to; a failed read fails the test.
std::vector<std::string> granted_to(const std::string& path) {
    auto sids = support::granted_sids(path);
    if (!sids) ADD_FAILURE() << "no access list for " << path;
    return sids.value_or(std::vector<std::string>{});
}

using FileReplacement = ScratchProgramData;

TEST_F(FileReplacement, PreparedTemporaryFileThenOneStepReplace) {
    std::string path = folder_ + "\\a.ini";
    ASSERT_TRUE(write_file(path, "old").has_value());
    std::string seen_temp, seen_content;
    auto replaced =
        replace_file_contents(path, "new\r\n", [&](const std::string& temp) -> Result<void> {
            seen_temp = temp;
            seen_content = *read_file(temp);
            return {};
        });
    ASSERT_TRUE(replaced.has_value()) << replaced.error();
    EXPECT_EQ(seen_temp, path + ".new");
    EXPECT_EQ(seen_content, "new\r\n");
    EXPECT_EQ(*read_file(path), "new\r\n");
    EXPECT_FALSE(path_exists(path + ".new"));
}

TEST_F(FileReplacement, FailingPrepareKeepsTheOldFile) {
    std::string path = folder_ + "\\a.ini";
    ASSERT_TRUE(write_file(path, "old").has_value());
    for (auto replace : {replace_file_contents, replace_private_file_contents}) {
        auto replaced = replace(path, "new", [](const std::string&) -> Result<void> {
            return fail("exit code Some(5)");
        });
        EXPECT_EQ(error_text(replaced), "exit code Some(5)");
        EXPECT_EQ(*read_file(path), "old");
        EXPECT_FALSE(path_exists(path + ".new"));
    }
}

TEST_F(FileReplacement, PrivateFileIsClosedToEveryoneFromTheStart) {
    std::string path = folder_ + "\\secret.ini";
    // A leftover of an interrupted save, open to everyone as files here are by default: it must
    // not lend its access list to the new temporary file.
    ASSERT_TRUE(write_file(path + ".new", "stale").has_value());
    ASSERT_TRUE(support::open_to_everyone(granted_to(path + ".new")))
        << "the check below could not fail on this system";

    std::vector<std::string> temp_rights;
    auto replaced = replace_private_file_contents(path, "password=x\r\n",
                                                  [&](const std::string& temp) -> Result<void> {
                                                      temp_rights = granted_to(temp);
                                                      return {};
                                                  });
    ASSERT_TRUE(replaced.has_value()) << replaced.error();
    EXPECT_FALSE(temp_rights.empty());
    EXPECT_FALSE(support::open_to_everyone(temp_rights)) << testing::PrintToString(temp_rights);
    EXPECT_FALSE(support::open_to_everyone(granted_to(path)));
    EXPECT_EQ(*read_file(path), "password=x\r\n");
    EXPECT_FALSE(path_exists(path + ".new"));
}

TEST_F(FileReplacement, LeftoverThatCannotBeRemovedStopsAPrivateReplace) {
    std::string path = folder_ + "\\secret.ini";
    ASSERT_TRUE(write_file(path, "old").has_value());
    ASSERT_TRUE(write_file(path + ".new", "stale").has_value());
    HANDLE holder =
        CreateFileW(widen(path + ".new").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    auto replaced = replace_private_file_contents(path, "new");
    CloseHandle(holder);
    ASSERT_FALSE(replaced.has_value());
    EXPECT_TRUE(replaced.error().starts_with(path + ": ")) << replaced.error();
    EXPECT_EQ(*read_file(path), "old");
    EXPECT_EQ(*read_file(path + ".new"), "stale");
}

} // namespace

// The safety dumps before a restore hold the shop's data: their folder is closed to ordinary users
// from the moment it exists. (Windows passes its entries on to the dumps written into it; Wine
// does not model that inheritance, so only the folder itself is checked here.)
TEST_F(FileReplacement, PrivateFolderPassesItsRightsOn) {
    std::string plain = folder_ + "\\plain";
    ASSERT_TRUE(create_directories(plain).has_value());
    ASSERT_TRUE(support::open_to_everyone(granted_to(plain)))
        << "the check below could not fail on this system";

    std::string safety = folder_ + "\\data\\backups";
    ASSERT_TRUE(create_private_directories(safety).has_value());
    EXPECT_FALSE(support::open_to_everyone(granted_to(safety)));
    EXPECT_TRUE(support::open_to_everyone(granted_to(folder_ + "\\data")))
        << "parents keep the usual rights";
    EXPECT_TRUE(create_private_directories(safety).has_value()) << "an existing folder is fine";
}

// A rotated log that cannot go back to its name (its writer opened a new one) is named.
TEST_F(FileReplacement, ARotatedLogThatCannotGoBackIsNamed) {
    const std::string log = folder_ + "\\x.log";
    ASSERT_TRUE(write_file(log, "old lines").has_value());
    auto rotated = rotate_log(log, 1, [&]() -> Result<void> {
        EXPECT_TRUE(write_file(log, "new lines").has_value());
        return fail("flush failed");
    });
    ASSERT_FALSE(rotated.has_value());
    EXPECT_TRUE(rotated.error().starts_with("flush failed\nrename " + log + ".rotating: "))
        << rotated.error();
    EXPECT_EQ(*read_file(log + ".rotating"), "old lines");
}
