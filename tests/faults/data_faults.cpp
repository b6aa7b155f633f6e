// Faults in the middle of a backup or a restore: the previous backup file, the safety dumps and
// the shop's rows are what they were, or what the operation promised.
#include "fault.h"
#include "shop.h"

#include "base/files.h"
#include "base/handles.h"
#include "base/text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace e2e;

namespace faults {

namespace {

constexpr std::string_view completed = "-- Dump completed";

bool complete_dump_with(const std::string& text, const std::string& row_text) {
    return text.find(completed) != std::string::npos && text.find(row_text) != std::string::npos;
}

// Local time `seconds` from now as YYYYMMDD_HHMMSS, the form of the safety dumps' names.
std::string timestamp_in(int seconds) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks{.LowPart = now.dwLowDateTime, .HighPart = now.dwHighDateTime};
    ticks.QuadPart += static_cast<ULONGLONG>(seconds) * 10000000ULL;
    FILETIME later{.dwLowDateTime = ticks.LowPart, .dwHighDateTime = ticks.HighPart};
    SYSTEMTIME utc{}, local{};
    FileTimeToSystemTime(&later, &utc);
    SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%04u%02u%02u_%02u%02u%02u", local.wYear, local.wMonth,
                  local.wDay, local.wHour, local.wMinute, local.wSecond);
    return text;
}

// Fills the drive's free space with one file; gives the error of the write that found it full.
DWORD fill_drive(const std::string& filler) {
    UniqueFile file(CreateFileW(widen(filler).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    const std::string block(65536, 'f');
    for (size_t size = block.size(); size > 0; size /= 2) {
        DWORD written = 0;
        while (WriteFile(file.get(), block.data(), static_cast<DWORD>(size), &written, nullptr) &&
               written == size) {
        }
    }
    DWORD written = 0;
    return WriteFile(file.get(), block.data(), 1, &written, nullptr) ? ERROR_SUCCESS
                                                                     : GetLastError();
}

} // namespace

TEST(BackupFaults, ThePreviousBackupSurvivesEveryBrokenDump) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    const std::string root = server.settings().root_password;
    seed_shop(root, "(1, 'bread'), (2, 'milk')");
    const std::string rows = shop_rows(root);
    const std::string target = server.folder().program_data() + "\\shop.sql";
    const std::string temporary = server.folder().program_data() + "\\shop.sql.tmp";
    ASSERT_EQ(server.mode({"--backup", target}).exit_code, 0u);
    const std::string previous = e2e::read_file(target);
    ASSERT_TRUE(complete_dump_with(previous, "'milk'"));
    seed_shop(root, "(1, 'bread'), (2, 'milk'), (3, 'eggs')");

    {
        Fault fault("backup: the dump breaks off part-way");
        bench_control("mysqldump.fail-after", "300");
        auto finished = server.mode({"--backup", target});
        fault.outcome(outcome_of(finished, server.folder()));
        EXPECT_EQ(finished.exit_code, 1u);
        fault.kept("the previous backup file", e2e::read_file(target) == previous);
        EXPECT_FALSE(exists(temporary));
    }
    {
        Fault fault("backup: the server is killed during the dump");
        bench_control("mysqldump.kill-server-after", "300");
        auto finished = server.mode({"--backup", target});
        fault.outcome(outcome_of(finished, server.folder()));
        EXPECT_EQ(finished.exit_code, 1u);
        fault.kept("the previous backup file", e2e::read_file(target) == previous);
        EXPECT_EQ(server.mode({"--start"}).exit_code, 0u);
        fault.kept("the shop's rows", shop_rows(root) == rows + "3\teggs\n");
    }
    // scripts/faults mounts two small drives when it may (a full one, a write-protected one with
    // a backup on it), and says why when it may not.
    const char* full_drive = std::getenv("KELTA_FULL_DRIVE");
    const char* protected_drive = std::getenv("KELTA_READ_ONLY_DRIVE");
    if (!full_drive || !protected_drive) {
        const char* why = std::getenv("KELTA_FAULT_DRIVES_SKIPPED");
        for (const char* name :
             {"backup: the target's disk is full", "backup: the target is read-only"})
            skipped(name, why ? why : "scripts/faults mounted no drives");
        return;
    }
    {
        Fault fault("backup: the target's disk is full");
        const std::string full_target = std::string(full_drive) + "\\shop.sql";
        e2e::write_file(full_target, previous);
        const DWORD full = fill_drive(std::string(full_drive) + "\\filler");
        EXPECT_EQ(full, static_cast<DWORD>(ERROR_DISK_FULL)) << "Windows does not see a full disk";
        auto finished = server.mode({"--backup", full_target});
        fault.outcome(outcome_of(finished, server.folder()));
        EXPECT_EQ(finished.exit_code, 1u);
        fault.kept("the previous backup file", e2e::read_file(full_target) == previous);
        EXPECT_FALSE(exists(std::string(full_drive) + "\\shop.sql.tmp"));
    }
    {
        Fault fault("backup: the target is read-only");
        const std::string protected_target = std::string(protected_drive) + "\\shop.sql";
        const std::string last_backup = e2e::read_file(protected_target);
        ASSERT_FALSE(last_backup.empty()) << "scripts/faults put a backup on the drive";
        auto finished = server.mode({"--backup", protected_target});
        fault.outcome(outcome_of(finished, server.folder()));
        EXPECT_EQ(finished.exit_code, 1u);
        fault.kept("the previous backup file", e2e::read_file(protected_target) == last_backup);
    }
}

TEST(RestoreFaults, TheShopsDataIsNeverLeftHalfRestored) {
    InstalledServer server;
    ASSERT_TRUE(server.installed());
    const std::string root = server.settings().root_password;
    seed_shop(root, "(1, 'bread'), (2, 'milk')");
    const std::string source = server.folder().program_data() + "\\week1.sql";
    ASSERT_EQ(server.mode({"--backup", source}).exit_code, 0u);
    const std::string week1 = shop_rows(root);
    const std::string dump = e2e::read_file(source);
    // Everything before the rows: the dump's DROP TABLE and CREATE TABLE have run by then.
    const size_t rows_start = dump.find("INSERT INTO `item`");
    ASSERT_NE(rows_start, std::string::npos);
    seed_shop(root, "(1, 'bread'), (2, 'milk'), (3, 'eggs')");
    const std::string today = shop_rows(root);
    const std::string backups = join_path(server.folder().data_root(), "backups");

    {
        Fault fault("restore: the client breaks off after DROP and CREATE TABLE");
        bench_control("mysql.fail-after", std::to_string(rows_start));
        auto finished = server.mode({"--restore", source});
        fault.outcome(outcome_of(finished, server.folder()));
        EXPECT_EQ(finished.exit_code, 1u);
        EXPECT_NE(last_said(server.folder()).find("The database was put back"), std::string::npos);
        fault.kept("the shop's rows (put back from the safety dump)", shop_rows(root) == today);
    }
    {
        Fault fault("restore: a dump cut short at a statement boundary");
        const std::string cut = server.folder().program_data() + "\\cut.sql";
        e2e::write_file(cut, dump.substr(0, rows_start));
        const size_t mysql_calls = client_calls("mysql").size();
        auto finished = server.mode({"--restore", cut});
        fault.outcome(outcome_of(finished, server.folder()));
        EXPECT_EQ(finished.exit_code, 1u);
        EXPECT_NE(last_said(server.folder()).find("cut short"), std::string::npos);
        fault.kept("the shop's rows", shop_rows(root) == today);
        EXPECT_EQ(client_calls("mysql").size(), mysql_calls) << "refused before anything ran";
    }
    {
        Fault fault("restore: two restores in one second");
        // Safety dumps already taken this second and the next ones, as a first restore leaves.
        std::vector<std::string> earlier;
        for (int second = 0; second < 20; ++second) {
            earlier.push_back(
                join_path(backups, "before-restore_" + timestamp_in(second) + ".sql"));
            e2e::write_file(earlier.back(), "earlier safety dump " + std::to_string(second));
        }
        auto finished = server.mode({"--restore", source});
        WIN32_FIND_DATAW found{};
        UniqueFind taken(
            FindFirstFileW(widen(join_path(backups, "before-restore_*-2.sql")).c_str(), &found));
        fault.outcome(outcome_of(finished, server.folder()) + ", the safety dump took " +
                      (taken ? narrow(found.cFileName) : std::string("no numbered name")));
        EXPECT_EQ(finished.exit_code, 0u);
        EXPECT_TRUE(taken);
        bool all_kept = true;
        for (int second = 0; second < 20; ++second)
            all_kept = all_kept && e2e::read_file(earlier[second]) ==
                                       "earlier safety dump " + std::to_string(second);
        fault.kept("the earlier safety dumps of that second", all_kept);
        EXPECT_EQ(shop_rows(root), week1);
        for (const std::string& file : earlier)
            delete_file(file);
    }
    {
        Fault fault("restore: the server is killed during the restore");
        seed_shop(root, "(1, 'bread'), (2, 'milk'), (3, 'eggs')");
        bench_control("mysql.kill-server-after", std::to_string(rows_start));
        auto finished = server.mode({"--restore", source});
        fault.outcome(outcome_of(finished, server.folder()));
        EXPECT_EQ(finished.exit_code, 1u);
        const auto log = lines_of(e2e::read_file(server.folder().path("tray.log")));
        ASSERT_GE(log.size(), 2u);
        EXPECT_NE(log[log.size() - 2].find("by hand"), std::string::npos) << log[log.size() - 2];
        const std::string safety = log.back();
        fault.kept("the safety dump named for a restore by hand",
                   complete_dump_with(e2e::read_file(safety), "'eggs'"));
        EXPECT_EQ(server.mode({"--start"}).exit_code, 0u);
        EXPECT_EQ(server.mode({"--restore", safety}).exit_code, 0u);
        fault.kept("the shop's rows (restored by hand from the safety dump)",
                   shop_rows(root) == today);
    }
}

} // namespace faults
