#include "svc/backup_failures.h"

#include "base/fill_in.h"
#include "i18n/tr.h"

#include <optional>
#include <vector>

namespace {

constexpr FailureText known_failures[] = {
    no_room_text, copy_failed_text,         copy_short_text,
    stalled_text, settings_unreadable_text, settings_value_text};
constexpr std::size_t most_gaps = 4;

// The values in the gaps when `text` is the sentence `pattern`: each gap takes everything up to
// the first place where the words after it follow, the last gap the rest.
std::optional<std::vector<std::string_view>> gaps_of(std::string_view pattern,
                                                     std::string_view text) {
    std::vector<std::string_view> values;
    while (!pattern.empty()) {
        const std::size_t gap = pattern.find('%');
        const std::string_view words = pattern.substr(0, gap);
        if (!text.starts_with(words)) return std::nullopt;
        text.remove_prefix(words.size());
        if (gap == std::string_view::npos)
            return text.empty() ? std::optional(values) : std::nullopt;
        pattern.remove_prefix(gap + 2); // "%N"
        const std::string_view next = pattern.substr(0, pattern.find('%'));
        const std::size_t end = next.empty() ? text.size() : text.find(next);
        if (end == std::string_view::npos) return std::nullopt;
        values.push_back(text.substr(0, end));
        text.remove_prefix(end);
    }
    return text.empty() ? std::optional(values) : std::nullopt;
}

} // namespace

std::string failure_text(const FailureText& text, std::initializer_list<std::string_view> values) {
    return fill_in(text.english, values);
}

std::string translate_failure(std::string_view english, Lang lang) {
    if (lang == Lang::en) return std::string(english);
    for (const FailureText& known : known_failures) {
        auto values = gaps_of(known.english, english);
        if (!values) continue;
        std::vector<std::string> translated;
        for (std::string_view value : *values)
            translated.push_back(translate_failure(value, lang));
        translated.resize(most_gaps);
        return fill_in(translate(lang, known.english, known.chinese),
                       {translated[0], translated[1], translated[2], translated[3]});
    }
    return std::string(english);
}
