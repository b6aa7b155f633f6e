#include "setup/page_names.h"

#include <array>

namespace {
constexpr std::array<PageName, 4> names{{
    {"Overview", "概览", L'\uE80F'},
    {"Connection", "连接方式", L'\uE968'},
    {"Backup & restore", "备份与恢复", L'\uE777'},
    {"General", "常规", L'\uE713'},
}};
} // namespace

const PageName& page_name(int page) {
    if (page < 0 || page >= static_cast<int>(names.size())) return names[0];
    return names[static_cast<std::size_t>(page)];
}
