#pragma once
// A ProgramData folder of the test's own, C:\kelta-test\unit.<suite>.<test>, so that the data
// root and everything under it start empty; the variable is put back afterwards.
#include "base/files.h"
#include "base/text.h"
#include "instance/paths.h"

#include <gtest/gtest.h>

#include <windows.h>

class ScratchProgramData : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ =
            std::string("C:\\kelta-test\\unit.") + info->test_suite_name() + "." + info->name();
        for (char& c : folder_)
            if (c == '/') c = '_';
        delete_tree(folder_);
        ASSERT_TRUE(create_directories(folder_).has_value());
        SetEnvironmentVariableW(L"ProgramData", widen(folder_).c_str());
    }
    void TearDown() override { SetEnvironmentVariableW(L"ProgramData", saved_.c_str()); }

    // Writes a file under the data root, creating the folder.
    static void put(const std::string& name, std::string_view content) {
        ASSERT_TRUE(create_directories(data_root()).has_value());
        ASSERT_TRUE(write_file(join_path(data_root(), name), content).has_value());
    }

    std::string folder_;

  private:
    std::wstring saved_ = [] {
        wchar_t buffer[1024] = {};
        GetEnvironmentVariableW(L"ProgramData", buffer, 1024);
        return std::wstring(buffer);
    }();
};
