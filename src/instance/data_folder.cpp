#include "instance/data_folder.h"

#include "base/files.h"
#include "base/handles.h"
#include "base/local_time.h"
#include "base/security.h"
#include "base/text.h"
#include "instance/paths.h"
#include "instance/tray_log.h"
#include "instance/trust.h"

#include <windows.h>

#include <optional>
#include <utility>
#include <vector>

namespace {

bool is_link(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

struct Judged {
    Verdict verdict;
    std::string reason; // why it is not trusted
};

Judged judge_path(const std::string& path, Place place, const std::string& administrator) {
    if (is_link(path)) return {Verdict::set_aside, "a link or junction"};
    auto found = read_security(path);
    // Whose it is cannot be told: a folder is made the administrators' with what is in it, a file
    // or a data directory is not read.
    if (!found) {
        const bool container =
            place != Place::data && place != Place::settings_file && place != Place::config_file;
        return {container ? Verdict::take_over : Verdict::set_aside, found.error()};
    }
    return {judge(place, *found, administrator),
            "owned by " + (found->owner.empty() ? std::string("nobody") : found->owner) +
                ", not by an administrator"};
}

// Renamed, never deleted: it may be an administrator's file after all, and it shows what was
// planted. Gives the new name.
Result<std::string> set_aside(const std::string& path, const std::string& reason) {
    const std::string aside = path + ".untrusted-" + local_timestamp();
    if (!MoveFileExW(widen(path).c_str(), widen(aside).c_str(), 0))
        return fail(path + " (" + reason + ") cannot be set aside: " + last_error_text());
    append_tray_log(path + " set aside as " + aside + ": " + reason, true);
    return aside;
}

bool private_in_root(const std::wstring& name) {
    return name.starts_with(L"connection.") || name.starts_with(L"init.sql");
}

// Everything inside a folder that was taken over becomes the administrators' with the rights of
// where it lies. A link inside is removed, never entered: what it leads to lies elsewhere and is
// not ours (Wine cannot remove a link to a folder: RemoveDirectoryW reaches the folder it leads
// to).
Result<void> take_over_contents(const std::string& folder, bool data_root_itself) {
    WIN32_FIND_DATAW entry{};
    UniqueFind search(FindFirstFileW(widen(join_path(folder, "*")).c_str(), &entry));
    if (!search) return {};
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        // The data directory and the safety dumps are judged on their own.
        if (data_root_itself && (name == L"data" || name == L"backups")) continue;
        const std::string child = join_path(folder, narrow(name));
        const bool is_folder = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            const std::wstring link = widen(child);
            if (!(is_folder ? RemoveDirectoryW(link.c_str()) : DeleteFileW(link.c_str())))
                return fail(child + ": a link inside the data folder that cannot be removed: " +
                            last_error_text());
            append_tray_log(child + " removed: a link inside the data folder", true);
            continue;
        }
        std::string_view descriptor = is_folder ? private_folder_descriptor
                                      : data_root_itself && !private_in_root(name)
                                          ? readable_file_descriptor
                                          : private_file_descriptor;
        if (auto taken = write_security(child, descriptor); !taken) return taken;
        if (is_folder) {
            if (auto inner = take_over_contents(child, false); !inner) return inner;
        }
    } while (FindNextFileW(search.get(), &entry));
    return {};
}

// The parent folder and the data root: a link is refused (every write would land where it
// leads); anything but trusted gets the folder's own descriptor (what is inside is the caller's).
Result<Verdict> keep_folder(const std::string& path, Place place,
                            const std::string& administrator) {
    if (is_link(path))
        return fail(path + ": a link or junction stands where the data folder belongs");
    const Judged judged = judge_path(path, place, administrator);
    if (judged.verdict != Verdict::trusted) {
        if (auto taken = write_security(path, descriptor_of(place)); !taken)
            return fail(taken.error());
    }
    return judged.verdict;
}

// `data` and `backups`: protected, taken over with their content, or set aside when what is in
// them came from someone else (only `data` is judged so) or the folder is a link.
Result<void> keep_subfolder(const std::string& path, Place place,
                            const std::string& administrator) {
    if (!path_exists(path)) return {};
    const Judged judged = judge_path(path, place, administrator);
    if (judged.verdict == Verdict::set_aside) {
        auto aside = set_aside(path, judged.reason);
        return aside ? Result<void>{} : fail(aside.error());
    }
    if (judged.verdict == Verdict::trusted) return {};
    if (auto taken = write_security(path, descriptor_of(place)); !taken) return taken;
    if (judged.verdict == Verdict::protect) return {};
    return take_over_contents(path, false);
}

struct SetAside {
    std::string path;
    std::string aside;
};

// connection.ini, connection.txt and my.ini, before anything reads them.
Result<std::optional<SetAside>> keep_file(const std::string& path, Place place,
                                          const std::string& administrator) {
    if (!path_exists(path)) return std::nullopt;
    const Judged judged = judge_path(path, place, administrator);
    if (judged.verdict == Verdict::trusted) return std::nullopt;
    if (judged.verdict != Verdict::set_aside) {
        if (auto taken = write_security(path, descriptor_of(place)); !taken)
            return fail(taken.error());
        return std::nullopt;
    }
    auto aside = set_aside(path, judged.reason);
    if (!aside) return fail(aside.error());
    return SetAside{path, *aside};
}

} // namespace

bool data_dir_initialized() { return path_exists(join_path(data_dir(), "mysql")); }

Result<void> make_data_root() {
    const std::string root = data_root();
    const std::string parent = parent_path(root);
    if (auto made = create_directories(parent_path(parent)); !made) return made;
    if (auto made = create_folder_with(parent, readable_folder_descriptor); !made) return made;
    return create_folder_with(root, readable_folder_descriptor);
}

Result<void> secure_data_root() {
    enable_ownership_privileges();
    const std::string administrator = administrator_user();
    const std::string root = data_root();
    if (!path_exists(parent_path(root))) return {};
    if (auto parent = keep_folder(parent_path(root), Place::parent_folder, administrator); !parent)
        return fail(parent.error());
    if (!path_exists(root)) return {};
    auto root_verdict = keep_folder(root, Place::data_root, administrator);
    if (!root_verdict) return fail(root_verdict.error());

    std::vector<SetAside> settings_set_aside;
    for (auto [path, place] : {std::pair{settings_path(), Place::settings_file},
                               std::pair{legacy_settings_path(), Place::settings_file},
                               std::pair{my_ini_path(), Place::config_file},
                               std::pair{backup_settings_path(), Place::config_file},
                               std::pair{backup_list_path(), Place::config_file}}) {
        auto kept = keep_file(path, place, administrator);
        if (!kept) return fail(kept.error());
        if (*kept && place == Place::settings_file) settings_set_aside.push_back(**kept);
    }
    if (auto data = keep_subfolder(data_dir(), Place::data, administrator); !data) return data;
    if (auto backups = keep_subfolder(backups_dir(), Place::backups, administrator); !backups)
        return backups;
    if (*root_verdict == Verdict::take_over) {
        if (auto inside = take_over_contents(root, true); !inside) return inside;
    }

    // A planted connection.txt beside the administrators' connection.ini would never have been
    // read; without that file, the root password of an existing server is lost.
    if (!settings_set_aside.empty() && !path_exists(settings_path()) && data_dir_initialized()) {
        const SetAside& first = settings_set_aside.front();
        return fail(first.path + " was not written by an administrator and was set aside as " +
                    first.aside +
                    "; the root password of the existing data directory is unknown, so nothing "
                    "else was changed");
    }
    return {};
}
