#pragma once
// UTF-8 inside, UTF-16 at every Windows call; small text rules shared by the file formats.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Invalid input becomes U+FFFD in both directions.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

bool is_valid_utf8(std::string_view bytes);
// Decodes UTF-8 replacing every invalid sequence by U+FFFD.
std::string lossy_utf8(std::string_view bytes);

bool is_unicode_space(char32_t c);
// Removes Unicode White_Space (tab, CR, NBSP, ideographic space, ...) at both ends.
std::string_view trim(std::string_view text);
std::string_view trim_start(std::string_view text);

// Lines split at LF, one CR before each LF dropped; an empty piece after a final break is no line.
std::vector<std::string_view> split_lines(std::string_view text);

// The "key=value" lines of an ini-style file: the key trimmed and in ASCII lower case, the value
// trimmed; lines without "=" (sections, comments, blanks) are skipped. Views into `text`.
struct KeyValue {
    std::string key;
    std::string_view value;
};
std::vector<KeyValue> key_value_lines(std::string_view text);

// Optional leading "+", then one or more ASCII digits, no overflow.
std::optional<std::uint16_t> parse_u16(std::string_view text);
std::optional<std::uint64_t> parse_u64(std::string_view text);

// The text inside a JSON string: quotes and backslashes escaped, control characters as \u00XX.
std::string json_escaped(std::string_view text);

// The system's description of a Win32 error code, without the trailing line break.
std::string system_error_text(unsigned long code);
// The description of GetLastError() read right now.
std::string last_error_text();
