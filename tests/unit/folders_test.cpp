// Making and removing folders: a file where a folder should be is an error with the system's own
// words, and neither removing a tree nor taking over the data folder reaches through a link into
// what lies outside it.
#include "scratch.h"

#include "base/files.h"
#include "base/security.h"
#include "base/text.h"
#include "instance/data_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

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

    // A file with a second name elsewhere keeps its rights, and says so.
    ASSERT_TRUE(
        CreateHardLinkW(widen(folder_ + "\\second").c_str(), widen(taken).c_str(), nullptr));
    EXPECT_EQ(error_text(write_security(taken, private_file_descriptor)),
              taken + ": the file has more than one name, so its rights are not changed");

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

// C:\kelta-links\planted is a ProgramData whose backups hold a link to outside,
// C:\kelta-links\rooted one whose data root is a link to outside.
std::vector<std::string> rights_set; // where the take-over set owners and lists
Result<void> note_rights(const std::string& path, std::string_view) {
    rights_set.push_back(path);
    return {};
}

TEST(DataFolder, TakingOverNeverFollowsALink) {
    const std::string link = links + "\\planted\\KELTA Retail\\MySQL\\backups\\link";
    ASSERT_TRUE(GetFileAttributesW(widen(link).c_str()) & FILE_ATTRIBUTE_REPARSE_POINT)
        << "the bench's link fixture is missing";
    SetEnvironmentVariableW(L"ProgramData", widen(links + "\\planted").c_str());
    replace_security_calls({system_security_calls().read, note_rights});
    // Wine cannot remove a link to a folder (Windows can): the check stops there.
    EXPECT_TRUE(
        error_text(secure_data_root())
            .starts_with(link + ": a link inside the data folder that cannot be removed: "));
    replace_security_calls(system_security_calls());
    EXPECT_NE(std::ranges::find(rights_set, parent_path(link)), rights_set.end());
    for (const auto& path : rights_set)
        EXPECT_FALSE(path.starts_with(link)) << path;

    SetEnvironmentVariableW(L"ProgramData", widen(links + "\\rooted").c_str());
    EXPECT_EQ(error_text(secure_data_root()),
              data_root() + ": a link or junction stands where the data folder belongs");
    SetEnvironmentVariableW(L"ProgramData", L"C:\\ProgramData");
}

} // namespace
