// The notification data the tray hands to the shell: the fixed UTF-16 fields and how texts are
// cut to them, and the fields of the icon and balloon forms.
#include "tray/notify.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring field(const wchar_t* buffer) {
    return buffer;
}

HWND some_window() {
    return reinterpret_cast<HWND>(0x1234);
}

TEST(CopyToWideBuffer, KeepsAtMostOneUnitLessThanTheBuffer) {
    wchar_t tip[128];
    copy_to_wide_buffer(tip, std::string(127, 'a'));
    EXPECT_EQ(field(tip), std::wstring(127, L'a'));
    copy_to_wide_buffer(tip, std::string(128, 'b') + "tail");
    EXPECT_EQ(field(tip), std::wstring(127, L'b'));
    copy_to_wide_buffer(tip, "");
    EXPECT_EQ(field(tip), L"");
    wchar_t one[1] = {L'x'};
    copy_to_wide_buffer(one, "text");
    EXPECT_EQ(one[0], L'\0');
}

TEST(CopyToWideBuffer, CountsUtf16UnitsNotBytes) {
    wchar_t tip[128];
    // 40 Chinese characters are 120 UTF-8 bytes but 40 units: all of them fit.
    std::string chinese;
    for (int i = 0; i < 40; ++i)
        chinese += "运";
    copy_to_wide_buffer(tip, chinese);
    EXPECT_EQ(field(tip), std::wstring(40, L'\u8FD0'));
    wchar_t title[64];
    copy_to_wide_buffer(title, "KELTA MySQL 5.7 - 运行中 (端口 3307)");
    EXPECT_EQ(field(title), L"KELTA MySQL 5.7 - \u8FD0\u884C\u4E2D (\u7AEF\u53E3 3307)");
}

TEST(CopyToWideBuffer, NeverEndsInHalfASurrogatePair) {
    wchar_t tip[128];
    // 126 letters and an emoji (two units): the pair would be cut after its first half.
    copy_to_wide_buffer(tip, std::string(126, 'a') + "\xF0\x9F\x98\x80");
    EXPECT_EQ(field(tip), std::wstring(126, L'a'));
    // 125 letters and the emoji fit exactly.
    copy_to_wide_buffer(tip, std::string(125, 'a') + "\xF0\x9F\x98\x80" + "zz");
    EXPECT_EQ(field(tip), std::wstring(125, L'a') + L"\xD83D\xDE00");
}

TEST(NotifyData, IconFormCarriesIconTooltipAndCallback) {
    const HICON icon = reinterpret_cast<HICON>(0x5678);
    NOTIFYICONDATAW data = icon_notify_data(some_window(), icon, std::string(200, 't'));
    EXPECT_EQ(data.cbSize, 976u);
    EXPECT_EQ(data.hWnd, some_window());
    EXPECT_EQ(data.uID, 1u);
    EXPECT_EQ(data.uFlags, 7u); // NIF_MESSAGE | NIF_ICON | NIF_TIP
    EXPECT_EQ(data.uCallbackMessage, 0x8001u);
    EXPECT_EQ(data.hIcon, icon);
    EXPECT_EQ(field(data.szTip), std::wstring(127, L't'));
    EXPECT_EQ(data.szInfo[0], L'\0');
    EXPECT_EQ(data.dwState, 0u);
}

TEST(NotifyData, BalloonFormCarriesTitleTextAndSymbol) {
    NOTIFYICONDATAW info = balloon_notify_data(some_window(), "MySQL service installed", false);
    EXPECT_EQ(info.cbSize, 976u);
    EXPECT_EQ(info.uID, 1u);
    EXPECT_EQ(info.uFlags, 0x10u);   // NIF_INFO only: icon and tooltip stay as they are
    EXPECT_EQ(info.dwInfoFlags, 1u); // NIIF_INFO
    EXPECT_EQ(field(info.szInfoTitle), L"KELTA Retail MySQL");
    EXPECT_EQ(field(info.szInfo), L"MySQL service installed");
    EXPECT_EQ(info.uTimeout, 0u);
    EXPECT_EQ(info.hIcon, nullptr);

    NOTIFYICONDATAW error = balloon_notify_data(some_window(), std::string(300, 'e'), true);
    EXPECT_EQ(error.dwInfoFlags, 3u); // NIIF_ERROR
    EXPECT_EQ(field(error.szInfo), std::wstring(255, L'e'));
}

} // namespace
