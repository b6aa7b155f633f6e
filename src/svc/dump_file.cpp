#include "svc/dump_file.h"

#include "base/handles.h"
#include "base/text.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view dump_completed_mark = "-- Dump completed";
constexpr std::string_view dump_headers[] = {"-- MySQL dump ", "-- MariaDB dump "};
// The header is within the first few lines (newer dump programs may put a line before it); the
// closing line is among the last few hundred bytes.
constexpr LONGLONG head_bytes = 1024;
constexpr size_t head_lines = 5;
constexpr LONGLONG tail_bytes = 4096;

// Up to `count` bytes from `offset`; empty when the file cannot be read.
std::string read_at(HANDLE file, LONGLONG offset, LONGLONG count) {
    LARGE_INTEGER at{.QuadPart = offset};
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return {};
    std::string bytes(static_cast<size_t>(count), '\0');
    DWORD got = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) return {};
    bytes.resize(got);
    return bytes;
}

} // namespace

bool starts_like_a_dump(HANDLE file) {
    const std::string head = read_at(file, 0, head_bytes);
    const auto lines = split_lines(head);
    return std::any_of(lines.begin(), lines.begin() + std::min(lines.size(), head_lines),
                       [](std::string_view line) {
                           return std::any_of(
                               std::begin(dump_headers), std::end(dump_headers),
                               [&](std::string_view h) { return line.starts_with(h); });
                       });
}

bool ends_like_a_complete_dump(HANDLE file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) return false;
    const LONGLONG start = std::max<LONGLONG>(0, size.QuadPart - tail_bytes);
    return read_at(file, start, size.QuadPart - start).find(dump_completed_mark) !=
           std::string::npos;
}

bool dump_is_complete(const std::string& path) {
    UniqueFile file(CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && ends_like_a_complete_dump(file.get());
}
