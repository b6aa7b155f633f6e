// Making and removing folders: a file where a folder should be is an error with the system's own
// words, and removing a tree never reaches through a link into what lies outside it.
#include "scratch.h"

#include "base/files.h"
#include "base/text.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using Folders = ScratchProgramData;

TEST_F(Folders, AFileWhereAFolderShouldBeIsAnError) {
    const std::string taken = folder_ + "\\taken";
    ASSERT_TRUE(write_file(taken, "a file").has_value());
    const std::string expected = system_error_text(ERROR_ALREADY_EXISTS);

    auto made = create_directories(taken);
    ASSERT_FALSE(made.has_value());
    EXPECT_EQ(made.error(), expected);
    auto deeper = create_directories(taken + "\\below");
    ASSERT_FALSE(deeper.has_value());
    EXPECT_EQ(deeper.error(), expected);
    auto private_one = create_private_directories(taken);
    ASSERT_FALSE(private_one.has_value());
    EXPECT_EQ(private_one.error(), expected);
    EXPECT_EQ(read_file(taken).value_or(""), "a file");

    // A folder that is already there is no error, private or not.
    EXPECT_TRUE(create_directories(folder_).has_value());
    EXPECT_TRUE(create_private_directories(folder_ + "\\private").has_value());
    EXPECT_TRUE(create_private_directories(folder_ + "\\private").has_value());
}

// bench/up lays out C:\kelta-links: outside\precious.txt, tree\link leading to outside, and
// tree-link leading to outside as well.
const std::string links = "C:\\kelta-links";

TEST(DeleteTree, NeverEntersALink) {
    const std::string precious = links + "\\outside\\precious.txt";
    const std::string tree = links + "\\tree";
    ASSERT_EQ(read_file(tree + "\\link\\precious.txt").value_or(""), "keep me")
        << "the bench's link fixture is missing";
    const DWORD link = GetFileAttributesW(widen(tree + "\\link").c_str());
    ASSERT_NE(link, INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(link & FILE_ATTRIBUTE_REPARSE_POINT) << "the link does not show as a link";
    ASSERT_TRUE(create_directories(tree + "\\mysql").has_value());
    ASSERT_TRUE(write_file(tree + "\\mysql\\user.frm", "x").has_value());

    delete_tree(tree);
    EXPECT_FALSE(path_exists(tree + "\\mysql"));
    EXPECT_EQ(read_file(precious).value_or(""), "keep me");

    // The tree itself being a link: what it leads to stays whole.
    delete_tree(links + "\\tree-link");
    EXPECT_EQ(read_file(precious).value_or(""), "keep me");
}

} // namespace
