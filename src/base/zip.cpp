#include "base/zip.h"

#include <zlib.h>

#include <cstdint>
#include <limits>
#include <string_view>

namespace {

constexpr std::uint32_t local_header_signature = 0x04034b50;
constexpr std::uint32_t central_header_signature = 0x02014b50;
constexpr std::uint32_t end_of_directory_signature = 0x06054b50;
constexpr std::uint16_t version_needed = 20; // 2.0: deflate
constexpr std::uint16_t utf8_names = 1 << 11;
constexpr std::uint16_t deflated = 8;
// A negative window size gives raw deflate: zip keeps no zlib header or trailer.
constexpr int raw_deflate_window = -15;
constexpr int deflate_memory_level = 8;
constexpr int dos_first_year = 1980;
constexpr std::uint64_t largest_size = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t most_members = std::numeric_limits<std::uint16_t>::max();

void put16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xff);
    out += static_cast<char>(value >> 8);
}

void put32(std::string& out, std::uint32_t value) {
    put16(out, static_cast<std::uint16_t>(value & 0xffff));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

// What the local header and the central directory both say of a member.
struct Described {
    std::uint16_t time = 0;
    std::uint16_t date = 0;
    std::uint32_t crc = 0;
    std::uint32_t packed_size = 0;
    std::uint32_t size = 0;
    std::uint16_t name_size = 0;
};

void put_description(std::string& out, const Described& d) {
    put16(out, version_needed);
    put16(out, utf8_names);
    put16(out, deflated);
    put16(out, d.time);
    put16(out, d.date);
    put32(out, d.crc);
    put32(out, d.packed_size);
    put32(out, d.size);
    put16(out, d.name_size);
    put16(out, 0); // no extra field
}

// MS-DOS time: seconds in twos, years from 1980.
Described dated(const SYSTEMTIME& t) {
    const int year = t.wYear < dos_first_year ? 0 : t.wYear - dos_first_year;
    return {.time =
                static_cast<std::uint16_t>((t.wHour << 11) | (t.wMinute << 5) | (t.wSecond / 2)),
            .date = static_cast<std::uint16_t>((year << 9) | (t.wMonth << 5) | t.wDay)};
}

Result<std::string> deflate_raw(std::string_view data) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, raw_deflate_window,
                     deflate_memory_level, Z_DEFAULT_STRATEGY) != Z_OK)
        return fail("deflate: cannot start");
    std::string packed(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(packed.data());
    stream.avail_out = static_cast<uInt>(packed.size());
    // The bound leaves room for everything: one call finishes the stream.
    const int finished = deflate(&stream, Z_FINISH);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    if (finished != Z_STREAM_END) return fail("deflate: error " + std::to_string(finished));
    return packed;
}

} // namespace

Result<std::string> zip_archive(const std::vector<ZipMember>& members, const SYSTEMTIME& time) {
    if (members.size() > most_members) return fail("zip: too many members");
    std::string archive, directory;
    for (const ZipMember& member : members) {
        if (member.content.size() > largest_size || member.name.size() > most_members)
            return fail("zip: " + member.name + " is too large");
        auto packed = deflate_raw(member.content);
        if (!packed) return fail("zip: " + member.name + ": " + packed.error());
        const std::uint64_t offset = archive.size();
        if (offset + packed->size() + member.name.size() + 30 > largest_size)
            return fail("zip: the archive is too large");
        Described d = dated(time);
        d.crc = static_cast<std::uint32_t>(
            crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(member.content.data()),
                  static_cast<uInt>(member.content.size())));
        d.packed_size = static_cast<std::uint32_t>(packed->size());
        d.size = static_cast<std::uint32_t>(member.content.size());
        d.name_size = static_cast<std::uint16_t>(member.name.size());

        put32(archive, local_header_signature);
        put_description(archive, d);
        archive += member.name;
        archive += *packed;

        put32(directory, central_header_signature);
        put16(directory, version_needed); // made by: MS-DOS attributes, zip 2.0
        put_description(directory, d);
        put16(directory, 0); // no comment
        put16(directory, 0); // disk 0
        put16(directory, 0); // no internal attributes
        put32(directory, 0); // no external attributes
        put32(directory, static_cast<std::uint32_t>(offset));
        directory += member.name;
    }
    if (archive.size() + directory.size() > largest_size)
        return fail("zip: the archive is too large");
    const auto count = static_cast<std::uint16_t>(members.size());
    const auto directory_offset = static_cast<std::uint32_t>(archive.size());
    archive += directory;
    put32(archive, end_of_directory_signature);
    put16(archive, 0); // this disk
    put16(archive, 0); // the directory's disk
    put16(archive, count);
    put16(archive, count);
    put32(archive, static_cast<std::uint32_t>(directory.size()));
    put32(archive, directory_offset);
    put16(archive, 0); // no comment
    return archive;
}
