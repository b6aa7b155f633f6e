#include "base/fill_in.h"

std::string fill_in(std::string_view pattern, std::initializer_list<std::string_view> values) {
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        const std::size_t gap = static_cast<std::size_t>(next - '1');
        if (pattern[i] == '%' && next >= '1' && next <= '9' && gap < values.size()) {
            text += *(values.begin() + gap);
            ++i;
            continue;
        }
        text += pattern[i];
    }
    return text;
}
