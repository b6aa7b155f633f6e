#include "svc/auto_backup.h"

#include "base/files.h"
#include "base/handles.h"
#include "base/local_time.h"
#include "base/security.h"
#include "base/text.h"
#include "config/settings.h"
#include "instance/data_folder.h"
#include "instance/dump_folder.h"
#include "instance/paths.h"
#include "svc/backup.h"
#include "svc/backup_failures.h"
#include "svc/backup_settings.h"
#include "svc/backup_state.h"
#include "svc/diagnosis.h"
#include "svc/dump_file.h"
#include "svc/dump_list.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace {

constexpr std::string_view not_in_file_names = "\\/:*?\"<>|";
constexpr char control_characters_end = 0x20;
constexpr std::size_t stamp_length = 15; // YYYYMMDD_HHMMSS
constexpr std::string_view dump_extension = ".sql";
// A dump needs room for itself and for the temporary file of the copy that may follow it.
constexpr std::uint64_t room_factor = 2;
constexpr DWORD copy_chunk = 1 << 20;
constexpr std::string_view temporary_suffix = ".tmp";
constexpr std::uint64_t leftover_age_ticks = 864'000'000'000; // a day in 100-ns ticks
// A run gives two numbers (the dump and its copy): a missing file stays listed for a year of
// nights at the most kept, in case its drive comes back.
constexpr std::uint64_t remembered_numbers = 2 * most_backups_kept;

bool all_digits(std::string_view text) {
    return !text.empty() && std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

bool is_stamp(std::string_view text) {
    return text.size() == stamp_length && text[8] == '_' && all_digits(text.substr(0, 8)) &&
           all_digits(text.substr(9));
}

std::string file_name_of(const std::string& path) {
    return path.substr(path.find_last_of('\\') + 1); // npos + 1 == 0
}

// Never anything but a file of the automatic dumps' names, whatever the list says.
bool is_own_dump(const std::string& path, std::string_view stem) {
    AutomaticDump dump;
    return is_automatic_dump_name(file_name_of(path), stem, dump);
}

// "YYYY-MM-DD HH:MM:SS" of a YYYYMMDD_HHMMSS stamp.
std::string stamp_time(std::string_view stamp) {
    std::string time;
    time.append(stamp.substr(0, 4)).append("-").append(stamp.substr(4, 2)).append("-");
    time.append(stamp.substr(6, 2)).append(" ").append(stamp.substr(9, 2)).append(":");
    return time.append(stamp.substr(11, 2)).append(":").append(stamp.substr(13, 2));
}

std::string time_now() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return local_time_text(now);
}

// The complete dumps of the folders (made before there was a list) listed in the order of their
// names, once, so that they are kept and pruned like the ones made from now on.
DumpList adopted_dumps(const BackupSettings& settings, std::string_view stem) {
    DumpList list;
    auto adopt = [&](const std::string& folder, bool copy) {
        const std::vector<AutomaticDump> found = automatic_dumps(folder, stem);
        for (auto dump = found.rbegin(); dump != found.rend(); ++dump)
            if (dump_is_complete(dump->path))
                add_dump(list, {.time = stamp_time(dump->stamp),
                                .size = dump->size,
                                .path = dump->path,
                                .copy = copy});
    };
    adopt(settings.folder, false);
    if (!settings.copy_to.empty()) adopt(settings.copy_to, true);
    return list;
}

// Deletes the listed dumps (or copies) beyond the `keep` newest that are still as made, then
// forgets what is gone, and anything listed that never was a dump of the database.
void prune(DumpList& list, bool copies, std::size_t keep, std::uint64_t newest,
           std::string_view stem) {
    std::erase_if(list.dumps,
                  [&](const ListedDump& dump) { return !is_own_dump(dump.path, stem); });
    std::vector<std::string> deleted;
    for (const std::string& path : dumps_to_prune(list, copies, keep, newest, presence_of))
        if (delete_file(path)) deleted.push_back(path);
    forget_gone(list, deleted, remembered_numbers, presence_of);
}

// The temporary files of dumps and copies that a run cut off (a power cut, the task's time limit)
// left behind: the program's own names only, and only a day old, long after any run that could
// still be writing them.
void remove_leftovers(const std::string& folder, std::string_view stem) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t now_ticks = (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
    WIN32_FIND_DATAW found{};
    UniqueFind search(FindFirstFileW(widen(join_path(folder, "*.sql.tmp")).c_str(), &found));
    if (!search) return;
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        std::string name = narrow(found.cFileName);
        AutomaticDump dump;
        if (!name.ends_with(temporary_suffix)) continue;
        name.resize(name.size() - temporary_suffix.size());
        const std::uint64_t written = (std::uint64_t{found.ftLastWriteTime.dwHighDateTime} << 32) |
                                      found.ftLastWriteTime.dwLowDateTime;
        if (is_automatic_dump_name(name, stem, dump) && now_ticks > written + leftover_age_ticks)
            delete_file(join_path(folder, narrow(found.cFileName)));
    } while (FindNextFileW(search.get(), &found));
}

std::optional<std::uint64_t> free_space(const std::string& folder) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(widen(folder).c_str(), &available, nullptr, nullptr))
        return std::nullopt;
    return available.QuadPart;
}

// A dump stops before it fills the disk: the next one will be about as large as the last one.
Result<void> check_room(const std::string& folder, const DumpList& list) {
    const std::vector<ListedDump> made = dumps_as_made(list);
    if (made.empty()) return {};
    const std::uint64_t last = made.front().size;
    const auto available = free_space(folder);
    if (!available || *available >= room_factor * last) return {};
    return fail(failure_text(no_room_text, {folder, size_text(*available), size_text(last)}));
}

bool write_all(HANDLE file, const char* data, DWORD size) {
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, data, size, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

// The open dump, from its start, into the open copy.
Result<void> copy_contents(HANDLE dump, HANDLE copy) {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(dump, start, nullptr, FILE_BEGIN)) return fail(last_error_text());
    std::vector<char> buffer(copy_chunk);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(dump, buffer.data(), copy_chunk, &got, nullptr))
            return fail(last_error_text());
        if (got == 0) return {};
        if (!write_all(copy, buffer.data(), got)) return fail(last_error_text());
    }
}

std::uint64_t size_of(HANDLE file) {
    LARGE_INTEGER size{};
    return GetFileSizeEx(file, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

// The new dump copied beside the copies already there: read through the dump's own handle into
// a file made here with the administrators' list (never the rights of wherever copy_to lies),
// its size checked, then renamed through its handle, so the copy folder never holds a part of a
// dump under a dump's name, nor anybody else's file under the copy's. The copy is listed, and the
// copies beyond the number kept go.
Result<void> copy_dump(const NewDump& dump, const BackupSettings& settings, std::string_view stem,
                       DumpList& list) {
    const std::string target = join_path(settings.copy_to, file_name_of(dump.path));
    const std::string temporary = target + std::string(temporary_suffix);
    auto made = create_fresh_file(temporary, private_file_descriptor,
                                  GENERIC_READ | GENERIC_WRITE | DELETE);
    if (!made) return fail(target + ": " + made.error());
    auto discard = [&](std::string reason) {
        delete_open_file(made->get());
        return fail(std::move(reason));
    };
    if (auto copied = copy_contents(dump.file.get(), made->get()); !copied)
        return discard(target + ": " + copied.error());
    const std::uint64_t size = size_of(made->get());
    if (size != size_of(dump.file.get())) return discard(failure_text(copy_short_text, {target}));
    // A USB stick pulled right after the run must hold the whole copy, not its name alone.
    if (!FlushFileBuffers(made->get())) return discard(target + ": " + last_error_text());
    if (!rename_open_file(made->get(), target, true))
        return discard(target + ": " + last_error_text());
    made->reset(); // pruning reads it to tell that it is complete
    const std::uint64_t number =
        add_dump(list, {.time = time_now(), .size = size, .path = target, .copy = true});
    prune(list, true, settings.keep, number, stem);
    return {};
}

// A folder for dumps, made where missing with the administrators' list, then checked as it is.
// Gives the warning for a place that keeps no rights.
Result<std::string> dump_folder(const std::string& folder) {
    if (auto made = create_private_directories(folder); !made)
        return fail(folder + ": " + made.error());
    return check_dump_folder(folder);
}

// The steps in order; `made` names the new dump as soon as there is one.
Result<void> run_steps(std::string& made) {
    if (auto secured = secure_data_root(); !secured) return secured;
    const auto connection = load_settings();
    if (!connection) return fail(settings_path() + " not found (install the MySQL service first)");
    // Settings that cannot be read are no licence to run with the defaults: they may be an
    // administrator's choice of no backup, or of a copy elsewhere.
    const auto settings = load_backup_settings();
    if (!settings) return fail(settings.error());
    const std::string stem = dump_name_stem(connection->database);
    if (auto folder = dump_folder(settings->folder); !folder) return fail(folder.error());
    remove_leftovers(settings->folder, stem);
    if (!settings->copy_to.empty()) remove_leftovers(settings->copy_to, stem);
    std::optional<DumpList> stored = load_dump_list();
    DumpList list = stored ? std::move(*stored) : adopted_dumps(*settings, stem);
    if (auto room = check_room(settings->folder, list); !room) return room;
    auto dump = backup_to_new_file(settings->folder, stem + "_" + local_timestamp());
    if (!dump) return fail(dump.error());
    made = dump->path;
    const std::uint64_t number =
        add_dump(list, {.time = time_now(), .size = file_size(made).value_or(0), .path = made});
    if (auto listed = save_dump_list(list); !listed) return listed;
    // Only now that a new complete dump exists, and is listed, may old ones go.
    prune(list, false, settings->keep, number, stem);
    Result<void> copied;
    if (!settings->copy_to.empty()) {
        auto folder = dump_folder(settings->copy_to);
        copied =
            folder ? copy_dump(*dump, *settings, stem, list) : Result<void>(fail(folder.error()));
        if (!copied)
            copied = fail(failure_text(copy_failed_text, {settings->copy_to, copied.error()}));
    }
    if (auto listed = save_dump_list(list); !listed) return listed;
    return copied;
}

} // namespace

std::string dump_name_stem(std::string_view database) {
    std::string stem;
    for (char c : database) {
        const bool unusable = (c >= 0 && c < control_characters_end) ||
                              not_in_file_names.find(c) != std::string_view::npos;
        stem += unusable ? '_' : c;
    }
    return stem;
}

bool is_automatic_dump_name(std::string_view name, std::string_view stem, AutomaticDump& dump) {
    const std::size_t prefix = stem.size() + 1;
    if (name.size() < prefix + stamp_length + dump_extension.size()) return false;
    if (!name.starts_with(stem) || name[stem.size()] != '_') return false;
    // Names are compared as Windows does, without regard to case, only in the extension: the
    // stem and stamp are the program's own.
    const std::string_view extension = name.substr(name.size() - dump_extension.size());
    if (CompareStringOrdinal(widen(extension).c_str(), -1, L".sql", -1, TRUE) != CSTR_EQUAL)
        return false;
    const std::string_view rest = name.substr(prefix, name.size() - prefix - dump_extension.size());
    const std::string_view stamp = rest.substr(0, stamp_length);
    if (!is_stamp(stamp)) return false;
    int number = 1;
    if (rest.size() > stamp_length) {
        const std::string_view suffix = rest.substr(stamp_length);
        if (suffix.size() < 2 || suffix[0] != '-' || !all_digits(suffix.substr(1))) return false;
        const auto parsed = parse_u16(suffix.substr(1));
        if (!parsed || *parsed < 2) return false;
        number = *parsed;
    }
    dump.stamp = std::string(stamp);
    dump.number = number;
    return true;
}

std::vector<AutomaticDump> automatic_dumps(const std::string& folder, std::string_view stem) {
    std::vector<AutomaticDump> dumps;
    WIN32_FIND_DATAW found{};
    UniqueFind search(FindFirstFileW(widen(join_path(folder, "*")).c_str(), &found));
    if (!search) return dumps;
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        const std::string name = narrow(found.cFileName);
        AutomaticDump dump;
        if (!is_automatic_dump_name(name, stem, dump)) continue;
        dump.path = join_path(folder, name);
        // One that somebody else made, or may change, is never offered for a restore as root.
        UniqueFile file = open_itself(dump.path, READ_CONTROL | FILE_READ_ATTRIBUTES);
        if (!file || !check_trusted_file(file.get(), dump.path)) continue;
        dump.size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        dumps.push_back(std::move(dump));
    } while (FindNextFileW(search.get(), &found));
    std::ranges::sort(dumps, [](const AutomaticDump& a, const AutomaticDump& b) {
        return a.stamp != b.stamp ? a.stamp > b.stamp : a.number > b.number;
    });
    return dumps;
}

Result<std::string> backup_automatically() {
    std::string made;
    const Result<void> done = run_steps(made);
    const std::uint64_t size = made.empty() ? 0 : file_size(made).value_or(0);
    auto recorded = record_backup_run(made, size, done ? std::string_view() : done.error());
    if (!done) return fail(done.error());
    if (!recorded) return fail(recorded.error());
    return made;
}
