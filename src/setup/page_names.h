#pragma once
// The four pages as the navigation column and the page title name them.
#include <string_view>

struct PageName {
    std::string_view english;
    std::string_view chinese;
    wchar_t glyph; // a character of the icon font
};

// Page 0 to 3; any other number gives the Overview.
const PageName& page_name(int page);
