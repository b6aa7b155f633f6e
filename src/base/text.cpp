#include "base/text.h"

#include <windows.h>

#include <cstdio>

std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string narrow(std::wstring_view utf16) {
    if (utf16.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr,
                                0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

namespace {

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when it is invalid.
size_t decode_one(std::string_view text, size_t i, char32_t& cp) {
    auto b = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char c = b(i);
    size_t len;
    char32_t min;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        len = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, cp = c & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > text.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

// How many bytes at text[i], where decoding failed, begin a sequence that is cut short or broken
// (at least one): they are replaced together by one U+FFFD, as Unicode recommends, so a truncated
// character shows as one mark rather than two or three.
size_t broken_sequence_length(std::string_view text, size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t len = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range; later ones are 80..BF
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0) low = 0xA0;  // no overlong forms
        if (c == 0xED) high = 0x9F; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0) low = 0x90; // no overlong forms
        if (c == 0xF4) high = 0x8F; // nothing above U+10FFFF
    } else {
        return 1;
    }
    size_t k = 1;
    for (; k < len && i + k < text.size(); ++k) {
        const auto t = static_cast<unsigned char>(text[i + k]);
        if (t < (k == 1 ? low : 0x80) || t > (k == 1 ? high : 0xBF)) break;
    }
    return k;
}

} // namespace

bool is_valid_utf8(std::string_view bytes) {
    char32_t cp;
    for (size_t i = 0; i < bytes.size();) {
        size_t n = decode_one(bytes, i, cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string lossy_utf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    char32_t cp;
    for (size_t i = 0; i < bytes.size();) {
        size_t n = decode_one(bytes, i, cp);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            i += broken_sequence_length(bytes, i);
        } else {
            out.append(bytes.substr(i, n));
            i += n;
        }
    }
    return out;
}

bool is_unicode_space(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

std::string_view trim_start(std::string_view text) {
    char32_t cp;
    size_t i = 0;
    while (i < text.size()) {
        size_t n = decode_one(text, i, cp);
        if (n == 0 || !is_unicode_space(cp)) break;
        i += n;
    }
    return text.substr(i);
}

std::string_view trim(std::string_view text) {
    text = trim_start(text);
    char32_t cp;
    while (!text.empty()) {
        size_t start = text.size() - 1;
        while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
        size_t n = decode_one(text, start, cp);
        if (n == 0 || start + n != text.size() || !is_unicode_space(cp)) break;
        text.remove_suffix(n);
    }
    return text;
}

std::vector<KeyValue> key_value_lines(std::string_view text) {
    std::vector<KeyValue> pairs;
    for (std::string_view line : split_lines(text)) {
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        std::string key(trim(line.substr(0, equals)));
        for (char& c : key)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        pairs.push_back({std::move(key), trim(line.substr(equals + 1))});
    }
    return pairs;
}

std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (lf == std::string_view::npos) break;
        text.remove_prefix(lf + 1);
    }
    return lines;
}

std::optional<std::uint64_t> parse_u64(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<std::uint16_t> parse_u16(std::string_view text) {
    auto value = parse_u64(text);
    if (!value || *value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(*value);
}

std::string system_error_text(unsigned long code) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (n != 0 && buffer) {
        text = narrow(std::wstring_view(buffer, n));
        LocalFree(buffer);
    }
    text = std::string(trim(text));
    if (text.empty()) text = "Win32 error " + std::to_string(code);
    return text;
}

std::string last_error_text() { return system_error_text(GetLastError()); }

std::string json_escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}
