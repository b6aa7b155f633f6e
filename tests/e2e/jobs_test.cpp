// Background jobs as the windows use them: a job runs on its own thread, leaves its result in
// the slot or the queue and posts its completion message to a real window.
#include "harness.h"
#include "user_registry.h"

#include "base/registry.h"
#include "base/text.h"
#include "i18n/language.h"
#include "jobs/jobs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

using namespace e2e;
using namespace std::chrono_literals;

namespace {

// A message-only window of the test thread, and a loop that waits for one message number.
class MessageCatcher {
  public:
    MessageCatcher() {
        window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    }
    ~MessageCatcher() { DestroyWindow(window_); }
    HWND window() const { return window_; }

    // How many of each wanted message arrived before the limit (stops early once all came).
    std::vector<int> wait_for(std::vector<UINT> wanted, std::chrono::milliseconds limit) {
        std::vector<int> counts(wanted.size(), 0);
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            MSG msg;
            while (PeekMessageW(&msg, window_, 0, 0, PM_REMOVE))
                for (size_t i = 0; i < wanted.size(); ++i)
                    if (msg.message == wanted[i]) ++counts[i];
            if (std::ranges::all_of(counts, [](int n) { return n > 0; })) break;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        return counts;
    }

  private:
    HWND window_;
};

TEST(Jobs, JobPostsDoneAndLeavesItsResult) {
    SavedUserValue language(e2e::program_key, "Language");
    (void)set_language("en");
    MessageCatcher catcher;
    (void)take_job_result();
    run_job(catcher.window(), job::StartType{true});
    EXPECT_EQ(catcher.wait_for({MSG_JOB_DONE}, 20s)[0], 1);
    auto result = take_job_result();
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(result->is_error);
    EXPECT_EQ(result->text, "service is not installed");
    EXPECT_FALSE(take_job_result().has_value()) << "taking the result leaves the slot empty";
}

TEST(Jobs, OnlyTheLastOfTwoResultsIsKept) {
    store_job_result({false, "first"});
    store_job_result({true, "second"});
    auto result = take_job_result();
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->text, "second");
    EXPECT_TRUE(result->is_error);
}

TEST(Jobs, TrayQueueKeepsOrderAndEmpties) {
    (void)take_tray_notifications();
    queue_tray_notification({"one", true});
    queue_tray_notification({"two", false});
    auto taken = take_tray_notifications();
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0].text, "one");
    EXPECT_TRUE(taken[0].is_error);
    EXPECT_EQ(taken[1].text, "two");
    EXPECT_TRUE(take_tray_notifications().empty());
}

// An install whose data folder cannot be created (ProgramData names a file) fails early: the
// failure must come back as an error balloon and the guard must be clear again.
TEST(Jobs, TrayInstallIsGuardedAndReportsItsFailure) {
    TestFolder folder;
    const std::string not_a_folder = folder.program_data() + "\\file";
    e2e::write_file(not_a_folder, "x");
    SetEnvironmentVariableW(L"ProgramData", widen(not_a_folder).c_str());
    MessageCatcher catcher;
    (void)take_tray_notifications();
    ASSERT_EQ(install_busy.load(), 0);
    ASSERT_TRUE(start_tray_install_job(catcher.window(), real_elevation()));
    EXPECT_FALSE(start_tray_install_job(catcher.window(), real_elevation()))
        << "a second install started";
    auto counts = catcher.wait_for({MSG_TRAY_NOTIFY, MSG_TRAY_REFRESH}, 30s);
    EXPECT_EQ(counts, (std::vector<int>{1, 1}));
    EXPECT_EQ(install_busy.load(), 0);
    auto balloons = take_tray_notifications();
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_TRUE(balloons[0].is_error);
    EXPECT_FALSE(balloons[0].text.empty());
    EXPECT_FALSE(exists(not_a_folder + "\\KELTA Retail")) << balloons[0].text;
    SetEnvironmentVariableW(L"ProgramData", nullptr);
}

TEST(Jobs, LastBackupIsLocalTimeAndPath) {
    SYSTEMTIME t{.wYear = 2026, .wMonth = 3, .wDay = 5, .wHour = 18, .wMinute = 7, .wSecond = 59};
    EXPECT_EQ(last_backup_text(t, "D:\\Backups\\shop.sql"), "2026-03-05 18:07|D:\\Backups\\shop.sql");

    SavedUserValue saved(e2e::program_key, "LastBackup");
    SYSTEMTIME before{};
    GetLocalTime(&before);
    record_last_backup("D:\\Backups\\shop|1.sql");
    auto stored = user_string(e2e::program_key, "LastBackup");
    ASSERT_TRUE(stored.has_value());
    ASSERT_EQ(stored->size(), std::string("YYYY-MM-DD HH:MM|D:\\Backups\\shop|1.sql").size());
    EXPECT_EQ(stored->substr(0, 4), std::to_string(before.wYear));
    EXPECT_EQ(stored->substr(16), "|D:\\Backups\\shop|1.sql");
}

TEST(Jobs, SuccessTextsAreTranslated) {
    SavedUserValue language(e2e::program_key, "Language");
    (void)set_language("fr");
    EXPECT_EQ(perform_job(job::Stop{}).text, "MySQL arrêté") << "stop of a missing service succeeds";
    (void)set_language("zh");
    EXPECT_EQ(perform_job(job::Stop{}).text, "MySQL 已停止");
    (void)set_language("en");
    EXPECT_EQ(perform_job(job::Uninstall{}).text, "MySQL service uninstalled (data kept)");
    EXPECT_EQ(perform_job(job::StartType{false}).text, "service is not installed");
}

} // namespace
