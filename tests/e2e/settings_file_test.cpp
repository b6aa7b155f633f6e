// Saving connection.ini against the bench's icacls: the exact call, the access list the file
// ends up with, and what is left behind when icacls or the final replace fails.
#include "harness.h"

#include "base/text.h"
#include "config/access.h"
#include "config/settings.h"
#include "instance/paths.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

ConnectionSettings first_settings() {
    return {.port = 4406,
            .database = "shop",
            .user = "till",
            .password = "first-password",
            .host = "%",
            .bind = "0.0.0.0",
            .firewall = true,
            .root_password = "first-root-pw"};
}

ConnectionSettings second_settings() {
    ConnectionSettings s = first_settings();
    s.password = "second-password";
    s.port = 4407;
    return s;
}

class SaveSettings : public ::testing::Test {
  protected:
    void SetUp() override {
        clear_tool_state();
        SetEnvironmentVariableW(L"ProgramData", widen(folder_.program_data()).c_str());
    }
    void TearDown() override {
        clear_tool_state();
        SetEnvironmentVariableW(L"ProgramData", saved_program_data_.c_str());
    }

    // The icacls calls made for files of this test (other programs may use the bench too).
    std::vector<std::vector<std::string>> our_icacls_calls() const {
        std::vector<std::vector<std::string>> ours;
        for (auto& call : tool_calls("icacls"))
            if (!call.empty() && call[0].starts_with(folder_.program_data())) ours.push_back(call);
        return ours;
    }

    // What the icacls stand-in recorded for a path: "protected" or "inherits", then the grants.
    // (Wine keeps no access lists of its own: it folds them into Unix mode bits, so reading the
    // list back from the file shows those bits, not what icacls was told.)
    static std::vector<std::string> recorded_rights(const std::string& path) {
        for (const auto& line : lines_of(read_file("C:\\kelta-bench\\state\\icacls.txt"))) {
            std::vector<std::string> fields;
            for (size_t start = 0;;) {
                size_t tab = line.find('\t', start);
                fields.push_back(line.substr(start, tab - start));
                if (tab == std::string::npos) break;
                start = tab + 1;
            }
            if (fields.size() == 3 && fields[0] == path) return {fields[1], fields[2]};
        }
        return {};
    }

    TestFolder folder_;

  private:
    std::wstring saved_program_data_ = [] {
        wchar_t buffer[MAX_PATH] = {};
        GetEnvironmentVariableW(L"ProgramData", buffer, MAX_PATH);
        return std::wstring(buffer);
    }();
};

std::vector<std::string> icacls_call(const std::string& path) {
    return {path, "/inheritance:r", "/grant:r", "*S-1-5-18:F", "*S-1-5-32-544:F"};
}

TEST_F(SaveSettings, WritesTheFileAndRestrictsItBeforeItTakesItsName) {
    ASSERT_FALSE(exists(data_root()));
    auto saved = save_settings(first_settings());
    ASSERT_TRUE(saved.has_value()) << saved.error();

    EXPECT_EQ(read_file(settings_path()), render_settings(first_settings()));
    EXPECT_EQ(read_settings_file(settings_path()), first_settings());
    // icacls ran once, on the temporary file, with exactly the five arguments.
    EXPECT_EQ(our_icacls_calls(),
              (std::vector<std::vector<std::string>>{icacls_call(settings_path() + ".new")}));
    EXPECT_FALSE(exists(settings_path() + ".new"));

    // The list was set on the file under its temporary name, before it became connection.ini.
    EXPECT_EQ(recorded_rights(settings_path() + ".new"),
              (std::vector<std::string>{"protected", "*S-1-5-18:F *S-1-5-32-544:F"}));
}

TEST_F(SaveSettings, SecondSaveReplacesTheFirstAndRemovesTheLegacyFile) {
    ASSERT_TRUE(save_settings(first_settings()).has_value());
    write_file(legacy_settings_path(), "Password: old\r\nroot / old-root\r\n");
    auto saved = save_settings(second_settings());
    ASSERT_TRUE(saved.has_value()) << saved.error();
    EXPECT_EQ(load_settings(), second_settings());
    EXPECT_FALSE(exists(legacy_settings_path()));
    EXPECT_EQ(our_icacls_calls().size(), 2u);
}

// The new file stays (private from its creation): it may hold the root password a new data
// directory was just given. The next save runs icacls again.
TEST_F(SaveSettings, IcaclsFailureKeepsTheNewFileAndTheLegacyFile) {
    ASSERT_TRUE(save_settings(first_settings()).has_value());
    write_file(legacy_settings_path(), "Password: old\r\n");
    force_tool_exit("icacls", 5);

    auto saved = save_settings(second_settings());
    ASSERT_FALSE(saved.has_value());
    EXPECT_EQ(saved.error(), "exit code Some(5)");
    EXPECT_EQ(read_file(settings_path()), render_settings(second_settings()));
    EXPECT_FALSE(exists(settings_path() + ".new"));
    EXPECT_TRUE(exists(legacy_settings_path()));
    EXPECT_EQ(our_icacls_calls().back(), icacls_call(settings_path() + ".new"));
}

TEST_F(SaveSettings, IcaclsFailureOnAFirstSaveKeepsTheNewFile) {
    force_tool_exit("icacls", 5);
    EXPECT_EQ(error_text(save_settings(first_settings())), "exit code Some(5)");
    EXPECT_FALSE(exists(settings_path() + ".new"));
    EXPECT_EQ(load_settings(), first_settings());
}

TEST_F(SaveSettings, RestrictFileAccessReportsTheExitCode) {
    write_file(folder_.path("secret.txt"), "x");
    EXPECT_TRUE(restrict_file_access(folder_.path("secret.txt")).has_value());
    EXPECT_EQ(our_icacls_calls().back(), icacls_call(folder_.path("secret.txt")));
    // The bench's icacls answers 2 for a missing file, as the real one does.
    EXPECT_EQ(error_text(restrict_file_access(folder_.path("missing.txt"))), "exit code Some(2)");
}

TEST_F(SaveSettings, FailedFinalReplaceKeepsTheOldFileIntact) {
    ASSERT_TRUE(save_settings(first_settings()).has_value());
    {
        // Open without FILE_SHARE_DELETE, as a virus scanner or an editor might: the file cannot
        // be replaced while this handle lives.
        HANDLE holder = CreateFileW(widen(settings_path()).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        auto saved = save_settings(second_settings());
        CloseHandle(holder);
        ASSERT_FALSE(saved.has_value());
        EXPECT_TRUE(saved.error().starts_with(settings_path() + ": ")) << saved.error();
    }
    EXPECT_EQ(read_file(settings_path()), render_settings(first_settings()));
    EXPECT_FALSE(exists(settings_path() + ".new"));
    // Once the file is free again, the next save goes through.
    ASSERT_TRUE(save_settings(second_settings()).has_value());
    EXPECT_EQ(load_settings(), second_settings());
}

TEST_F(SaveSettings, LeftoverTemporaryFileIsReplaced) {
    // What a power cut between writing and renaming would leave: readable by anyone.
    write_file(settings_path() + ".new", "port=1\r\n");
    ASSERT_TRUE(save_settings(first_settings()).has_value());
    EXPECT_EQ(read_file(settings_path()), render_settings(first_settings()));
    EXPECT_FALSE(exists(settings_path() + ".new"));
}

TEST_F(SaveSettings, DataRootThatCannotBeCreated) {
    // ProgramData names a file: the folders below it cannot exist.
    write_file(folder_.program_data() + "\\not-a-folder", "x");
    SetEnvironmentVariableW(L"ProgramData",
                            widen(folder_.program_data() + "\\not-a-folder").c_str());
    auto saved = save_settings(first_settings());
    ASSERT_FALSE(saved.has_value());
    // The system's description alone, without a path in front.
    EXPECT_FALSE(saved.error().empty());
    EXPECT_EQ(saved.error().find("not-a-folder"), std::string::npos) << saved.error();
    EXPECT_TRUE(our_icacls_calls().empty());
}

} // namespace
