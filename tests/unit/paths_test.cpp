#include "base/files.h"
#include "instance/paths.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

class ProgramData : public ::testing::Test {
  protected:
    void TearDown() override { SetEnvironmentVariableW(L"ProgramData", saved_.c_str()); }
    std::wstring saved_ = [] {
        wchar_t buffer[1024] = {};
        GetEnvironmentVariableW(L"ProgramData", buffer, 1024);
        return std::wstring(buffer);
    }();
};

TEST_F(ProgramData, DataRootFollowsTheVariable) {
    SetEnvironmentVariableW(L"ProgramData", L"D:\\PD");
    EXPECT_EQ(data_root(), "D:\\PD\\KELTA Retail\\MySQL");
    EXPECT_EQ(my_ini_path(), "D:\\PD\\KELTA Retail\\MySQL\\my.ini");
    EXPECT_EQ(settings_path(), "D:\\PD\\KELTA Retail\\MySQL\\connection.ini");
    EXPECT_EQ(backups_dir(), "D:\\PD\\KELTA Retail\\MySQL\\backups");
    EXPECT_EQ(error_log_path(), "D:\\PD\\KELTA Retail\\MySQL\\error.log");
}

TEST_F(ProgramData, UnsetVariableFallsBackToCProgramData) {
    SetEnvironmentVariableW(L"ProgramData", nullptr);
    EXPECT_EQ(data_root(), "C:\\ProgramData\\KELTA Retail\\MySQL");
}

TEST_F(ProgramData, AskingForPathsCreatesNothing) {
    SetEnvironmentVariableW(L"ProgramData", L"C:\\kelta-unit-paths");
    (void)data_root(), (void)data_dir(), (void)backups_dir(), (void)init_sql_path();
    EXPECT_FALSE(path_exists("C:\\kelta-unit-paths"));
}

TEST(Paths, ProgramsLiveBesideTheExecutable) {
    std::string exe = *executable_path();
    EXPECT_EQ(mysql_program_path("mysqldump.exe"), parent_path(exe) + "\\MySQL\\bin\\mysqldump.exe");
}

TEST(Paths, SystemToolsComeFromTheSystemFolder) {
    EXPECT_EQ(system_tool_path("netsh"), "C:\\windows\\system32\\netsh.exe");
    EXPECT_EQ(windows_program_path("notepad.exe"), "C:\\windows\\notepad.exe");
}

} // namespace
