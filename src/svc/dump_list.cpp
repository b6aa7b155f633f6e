#include "svc/dump_list.h"

#include "base/files.h"
#include "base/text.h"
#include "instance/paths.h"

#include <algorithm>

namespace {

constexpr std::string_view crlf = "\r\n";
constexpr char field_separator = '|'; // no Windows path holds it
// 365 dumps and as many copies, each a line of a few hundred bytes at most.
constexpr std::uint64_t largest_list_file = 512 * 1024;

// "<number>|<time>|<size>|<path>"
std::optional<ListedDump> parse_entry(std::string_view value, bool copy) {
    std::string_view fields[3];
    for (std::string_view& field : fields) {
        const std::size_t end = value.find(field_separator);
        if (end == std::string_view::npos) return std::nullopt;
        field = value.substr(0, end);
        value.remove_prefix(end + 1);
    }
    const auto number = parse_u64(fields[0]);
    const auto size = parse_u64(fields[2]);
    if (!number || !size || value.empty()) return std::nullopt;
    return ListedDump{.number = *number,
                      .time = std::string(fields[1]),
                      .size = *size,
                      .path = std::string(value),
                      .copy = copy};
}

std::vector<ListedDump> newest_first(std::vector<ListedDump> dumps) {
    std::ranges::sort(dumps,
                      [](const ListedDump& a, const ListedDump& b) { return a.number > b.number; });
    return dumps;
}

} // namespace

DumpList parse_dump_list(std::string_view text) {
    DumpList list;
    for (const KeyValue& pair : key_value_lines(text)) {
        if (pair.key == "next") {
            list.next = parse_u64(pair.value).value_or(list.next);
        } else if (pair.key == "dump" || pair.key == "copy") {
            if (auto entry = parse_entry(pair.value, pair.key == "copy"))
                list.dumps.push_back(std::move(*entry));
        }
    }
    // A number is never given twice, whatever the file says.
    for (const ListedDump& dump : list.dumps)
        list.next = std::max(list.next, dump.number + 1);
    return list;
}

std::string render_dump_list(const DumpList& list) {
    std::string text;
    text.append("; KELTA Retail MySQL - the dumps the automatic backup made; it deletes only these")
        .append(crlf);
    text.append("[dumps]").append(crlf);
    text.append("next=").append(std::to_string(list.next)).append(crlf);
    for (const ListedDump& dump : list.dumps) {
        text.append(dump.copy ? "copy=" : "dump=").append(std::to_string(dump.number));
        text.append(1, field_separator).append(dump.time).append(1, field_separator);
        text.append(std::to_string(dump.size)).append(1, field_separator).append(dump.path);
        text.append(crlf);
    }
    return text;
}

std::optional<DumpList> load_dump_list() {
    const std::string path = backup_list_path();
    const auto size = file_size(path);
    if (!size || *size > largest_list_file) return std::nullopt;
    auto text = read_text_file(path);
    if (!text) return std::nullopt;
    return parse_dump_list(*text);
}

Result<void> save_dump_list(const DumpList& list) {
    return replace_file_contents(backup_list_path(), render_dump_list(list));
}

std::uint64_t add_dump(DumpList& list, ListedDump dump) {
    dump.number = list.next++;
    list.dumps.push_back(std::move(dump));
    return list.dumps.back().number;
}

Presence presence_of(const ListedDump& dump) {
    const auto size = file_size(dump.path);
    if (!size) return Presence::missing;
    return *size == dump.size ? Presence::as_made : Presence::replaced;
}

std::vector<std::string> dumps_to_prune(const DumpList& list, bool copies, std::size_t keep,
                                        std::uint64_t newest,
                                        Presence (*presence)(const ListedDump& dump)) {
    std::vector<std::string> doomed;
    std::size_t kept = 0;
    for (const ListedDump& dump : newest_first(list.dumps)) {
        if (dump.copy != copies || presence(dump) != Presence::as_made) continue;
        if (kept < keep || dump.number == newest)
            ++kept;
        else
            doomed.push_back(dump.path);
    }
    return doomed;
}

void forget_gone(DumpList& list, const std::vector<std::string>& deleted, std::uint64_t remembered,
                 Presence (*presence)(const ListedDump& dump)) {
    std::erase_if(list.dumps, [&](const ListedDump& dump) {
        if (std::ranges::find(deleted, dump.path) != deleted.end()) return true;
        const Presence found = presence(dump);
        return found == Presence::replaced ||
               (found == Presence::missing && dump.number + remembered < list.next);
    });
}

std::vector<ListedDump> dumps_as_made(const DumpList& list) {
    std::vector<ListedDump> made;
    for (const ListedDump& dump : newest_first(list.dumps))
        if (!dump.copy && presence_of(dump) == Presence::as_made) made.push_back(dump);
    return made;
}
