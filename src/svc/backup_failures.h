#pragma once
// The automatic backup's failures that an operator reads. They are written in English (the state
// file, tray.log and --status keep them so, whoever ran the backup and in whatever language) as
// sentences with numbered gaps, and put into the reader's language when they are shown: the
// nightly run is the system account's, the one who reads its outcome is the operator.
#include "i18n/language.h"

#include <initializer_list>
#include <string>
#include <string_view>

struct FailureText {
    std::string_view english;
    std::string_view chinese;
};

inline constexpr FailureText no_room_text{
    "not enough disk space in %1: %2 free, the last dump took %3",
    "%1 磁盘空间不足：只剩 %2，上一份备份占用 %3"};
inline constexpr FailureText copy_failed_text{"copy to %1 failed: %2", "复制到 %1 失败：%2"};
inline constexpr FailureText copy_short_text{"%1: the copy is not as large as the dump",
                                             "%1：复制的文件比备份文件小"};
inline constexpr FailureText stalled_text{"the dump stopped making progress",
                                          "备份停止不动了，已被结束"};
inline constexpr FailureText settings_unreadable_text{"%1 cannot be read: %2", "无法读取 %1：%2"};
inline constexpr FailureText settings_value_text{"%1: %2=%3 cannot be used", "%1：%2=%3 无法使用"};

// The English sentence with its gaps filled in.
std::string failure_text(const FailureText& text, std::initializer_list<std::string_view> values);

// A failure in the language: a sentence above (also one inside another's gap) is translated
// with its values kept; anything else (a tool's or the system's own words) stays as it is.
std::string translate_failure(std::string_view english, Lang lang);
