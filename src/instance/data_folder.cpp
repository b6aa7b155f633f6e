#include "instance/data_folder.h"

#include "base/files.h"
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

struct Judged {
    Verdict verdict = Verdict::set_aside;
    FileSecurity found;
    std::string reason; // why it is not trusted
    UniqueFile file;    // the file or folder itself, when it was opened by its path here
};

std::string owner_text(const FileSecurity& found) {
    return found.owner.empty() ? std::string("nobody") : found.owner;
}

// `file` is open with READ_CONTROL and FILE_READ_ATTRIBUTES.
Judged judge_open(HANDLE file, const std::string& path, Place place,
                  const std::string& administrator) {
    Judged judged;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) {
        judged.reason = last_error_text();
        return judged;
    }
    if (is_link(path) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        judged.reason = "a link or junction";
        return judged;
    }
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && info.nNumberOfLinks > 1) {
        judged.reason = "a file with more than one name";
        return judged;
    }
    // Whose it is cannot be told: it is not used.
    auto found = read_security(file);
    if (!found) {
        judged.reason = found.error();
        return judged;
    }
    judged.found = std::move(*found);
    judged.verdict = judge(place, judged.found, administrator);
    judged.reason = made_by_administrator(judged.found.owner, administrator)
                        ? "others may change it or its rights"
                        : "owned by " + owner_text(judged.found) + ", not by an administrator";
    return judged;
}

Judged judge_path(const std::string& path, Place place, const std::string& administrator) {
    UniqueFile file = open_itself(path, READ_CONTROL | FILE_READ_ATTRIBUTES);
    if (!file) return {.reason = last_error_text()};
    Judged judged = judge_open(file.get(), path, place, administrator);
    judged.file = std::move(file);
    return judged;
}

// Renamed, never deleted: it may be an administrator's file after all, and it shows what was
// planted. Through the handle that was judged, so that what is renamed is what was judged even
// when another process set it aside first and made a new one; a link by its name (Wine would
// rename what it leads to). Gives the new name.
Result<std::string> set_aside(const Judged& judged, const std::string& path, bool folder) {
    const std::string aside = path + ".untrusted-" + local_timestamp();
    auto renamed = [&]() -> Result<void> {
        if (!judged.file || is_link(path)) {
            if (MoveFileExW(widen(path).c_str(), widen(aside).c_str(), 0)) return {};
            return fail(last_error_text());
        }
        UniqueFile deletable(ReOpenFile(judged.file.get(), DELETE | SYNCHRONIZE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT));
        if (!deletable || !rename_open_file(deletable.get(), aside, false))
            return fail(last_error_text());
        return {};
    }();
    if (!renamed)
        return fail(path + " (" + judged.reason + ") cannot be set aside: " + renamed.error());
    // What was inside may be the shop's after all (a server's data in a folder somebody else
    // made): nobody but the administrators reads it now. A file with a second name keeps its
    // rights; it was somebody else's anyway.
    (void)write_security(aside, folder ? private_folder_descriptor : private_file_descriptor);
    append_tray_log(path + " set aside as " + aside + ": " + judged.reason, true);
    return aside;
}

// The database stays where it is, whoever made the folder around it: the operator decides.
Result<void> refuse_with_database(const std::string& path, const Judged& judged) {
    return fail(path + " (" + judged.reason +
                ") holds the MySQL database, so it was neither used nor set aside; an "
                "administrator must check it and give it to the Administrators group");
}

bool private_in_root(const std::wstring& name) {
    return name.starts_with(L"connection.") || name.starts_with(L"init.sql") ||
           name.starts_with(L"operation.lock");
}

// Everything inside a folder whose list let others add to it: what somebody else made goes
// aside, the rest gets the rights of where it lies. A link inside is removed, never entered:
// what it leads to lies elsewhere and is not ours (Wine cannot remove a link to a folder:
// RemoveDirectoryW reaches the folder it leads to).
Result<void> repair_contents(const std::string& folder, bool data_root_itself,
                             const std::string& administrator) {
    WIN32_FIND_DATAW entry{};
    UniqueFind search(FindFirstFileW(widen(join_path(folder, "*")).c_str(), &entry));
    if (!search) return {};
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        // The data directory and the safety dumps are judged on their own, and what was set
        // aside stays as it was left.
        if (data_root_itself && (name == L"data" || name == L"backups")) continue;
        if (name.find(L".untrusted-") != std::wstring::npos) continue;
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
        const bool readable = data_root_itself && !private_in_root(name);
        const Place place = is_folder  ? Place::data
                            : readable ? Place::config_file
                                       : Place::settings_file;
        const Judged judged = judge_path(child, place, administrator);
        if (judged.verdict == Verdict::set_aside) {
            if (auto aside = set_aside(judged, child, is_folder); !aside)
                return fail(aside.error());
            continue;
        }
        if (judged.verdict == Verdict::trusted) continue;
        if (auto repaired = write_security(child, descriptor_of(place)); !repaired) return repaired;
        if (is_folder && judged.verdict == Verdict::repair) {
            if (auto inner = repair_contents(child, false, administrator); !inner) return inner;
        }
    } while (FindNextFileW(search.get(), &entry));
    return {};
}

// The parent folder or the data root, made where missing and then judged. Gives the verdict it
// was left with (repair for a data root whose content must be judged next).
Result<Verdict> keep_folder(const std::string& path, Place place,
                            const std::string& administrator) {
    // Two rounds: the second judges the folder made in place of one set aside.
    for (int round = 0; round < 2; ++round) {
        if (auto made = create_folder_with(path, readable_folder_descriptor); !made)
            return fail(path + ": " + made.error());
        if (is_link(path))
            return fail(path + ": a link or junction stands where the data folder belongs");
        const Judged judged = judge_path(path, place, administrator);
        if (judged.verdict == Verdict::set_aside) {
            if (data_dir_initialized()) return fail(refuse_with_database(path, judged).error());
            if (auto aside = set_aside(judged, path, true); !aside) return fail(aside.error());
            continue;
        }
        if (judged.verdict == Verdict::trusted) return judged.verdict;
        // Other programs' folders may lie beside the data root: the parent keeps its list and
        // only loses what would let others remove or replace the data root.
        const std::string list =
            place == Place::parent_folder
                ? repaired_parent_list(judged.found.access, administrator)
                      .value_or(std::string(readable_folder_descriptor.substr(4)))
                : std::string(descriptor_of(place));
        if (auto repaired = write_security(path, list); !repaired)
            return fail(path +
                        ": others may remove or change what is in it, and its rights "
                        "cannot be repaired: " +
                        repaired.error());
        return judged.verdict;
    }
    return fail(path + ": somebody keeps making it again");
}

// `data` and `backups`: what somebody else made goes aside (a `data` with a database is an
// error); the rest gets its list, and what is inside a folder that let others add to it is
// judged too.
Result<void> keep_subfolder(const std::string& path, Place place,
                            const std::string& administrator) {
    if (!path_exists(path)) return {};
    const Judged judged = judge_path(path, place, administrator);
    if (judged.verdict == Verdict::set_aside) {
        if (place == Place::data && data_dir_initialized())
            return refuse_with_database(path, judged);
        auto aside = set_aside(judged, path, true);
        return aside ? Result<void>{} : fail(aside.error());
    }
    if (judged.verdict == Verdict::trusted) return {};
    if (auto repaired = write_security(path, descriptor_of(place)); !repaired) return repaired;
    if (judged.verdict == Verdict::protect) return {};
    return repair_contents(path, false, administrator);
}

struct SetAside {
    std::string path;
    std::string aside;
};

// connection.ini, connection.txt, my.ini and backup.ini, before anything reads them.
Result<std::optional<SetAside>> keep_file(const std::string& path, Place place,
                                          const std::string& administrator) {
    if (!path_exists(path)) return std::nullopt;
    const Judged judged = judge_path(path, place, administrator);
    if (judged.verdict == Verdict::trusted) return std::nullopt;
    if (judged.verdict != Verdict::set_aside) {
        if (auto repaired = write_security(path, descriptor_of(place)); !repaired)
            return fail(repaired.error());
        return std::nullopt;
    }
    auto aside = set_aside(judged, path, false);
    if (!aside) return fail(aside.error());
    return SetAside{path, *aside};
}

} // namespace

bool data_dir_initialized() {
    if (path_exists(initialized_marker_path())) return true;
    // A data directory from before the marker: complete, unless the init file of an
    // initialization that was cut off still lies beside it.
    return path_exists(join_path(data_dir(), "mysql")) && !path_exists(init_sql_path());
}

Result<void> make_data_root() {
    const std::string root = data_root();
    const std::string parent = parent_path(root);
    if (auto made = create_directories(parent_path(parent)); !made) return made;
    if (auto made = create_folder_with(parent, readable_folder_descriptor); !made) return made;
    return create_folder_with(root, readable_folder_descriptor);
}

Result<void> prepare_data_root() {
    enable_ownership_privileges();
    const std::string administrator = administrator_user();
    const std::string root = data_root();
    if (auto made = create_directories(parent_path(parent_path(root))); !made)
        return fail(parent_path(parent_path(root)) + ": " + made.error());
    if (auto parent = keep_folder(parent_path(root), Place::parent_folder, administrator); !parent)
        return fail(parent.error());
    // A data root whose list only needs repair is repaired by secure_data_root, with what is in it.
    for (int round = 0; round < 2; ++round) {
        if (auto made = create_folder_with(root, readable_folder_descriptor); !made)
            return fail(root + ": " + made.error());
        if (is_link(root))
            return fail(root + ": a link or junction stands where the data folder belongs");
        const Judged judged = judge_path(root, Place::data_root, administrator);
        if (judged.verdict != Verdict::set_aside) return {};
        if (data_dir_initialized()) return refuse_with_database(root, judged);
        if (auto aside = set_aside(judged, root, true); !aside) return fail(aside.error());
    }
    return fail(root + ": somebody keeps making it again");
}

Result<void> secure_data_root() {
    if (auto prepared = prepare_data_root(); !prepared) return prepared;
    const std::string administrator = administrator_user();
    const std::string root = data_root();
    auto root_verdict = keep_folder(root, Place::data_root, administrator);
    if (!root_verdict) return fail(root_verdict.error());

    std::vector<SetAside> settings_set_aside;
    for (auto [path, place] : {std::pair{settings_path(), Place::settings_file},
                               std::pair{unsaved_settings_path(), Place::settings_file},
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
    if (*root_verdict == Verdict::repair) {
        if (auto inside = repair_contents(root, true, administrator); !inside) return inside;
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

Result<void> check_trusted_file(HANDLE file, const std::string& path) {
    const Judged judged = judge_open(file, path, Place::config_file, administrator_user());
    if (judged.verdict == Verdict::set_aside) return fail(path + ": " + judged.reason);
    return {};
}

Result<std::string> read_trusted_text(const std::string& path, std::uint64_t most) {
    UniqueFile file(CreateFileW(widen(path).c_str(), GENERIC_READ | READ_CONTROL,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return fail(path + ": " + last_error_text());
    if (auto trusted = check_trusted_file(file.get(), path); !trusted) return fail(trusted.error());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return fail(path + ": " + last_error_text());
    if (static_cast<std::uint64_t>(size.QuadPart) > most)
        return fail(path + ": larger than " + std::to_string(most) + " bytes");
    auto bytes = read_open_file(file.get());
    if (!bytes) return fail(path + ": " + bytes.error());
    auto text = text_content(std::move(*bytes));
    if (!text) return fail(path + ": " + text.error());
    return text;
}
