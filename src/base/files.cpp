#include "base/files.h"

#include "base/handles.h"
#include "base/security.h"
#include "base/text.h"

#include <windows.h>

namespace {

std::string path_error(const std::string& path) { return path + ": " + last_error_text(); }

std::string leftover_error(const std::string& path, const std::string& reason) {
    return "the leftover temporary file " + path + " cannot be removed: " + reason;
}

UniqueFile open_for_write(const std::string& path) {
    return UniqueFile(CreateFileW(widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool write_all(HANDLE file, std::string_view content) {
    while (!content.empty()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, content.data(), chunk, &written, nullptr)) return false;
        content.remove_prefix(written);
    }
    return true;
}

} // namespace

Result<std::string> read_file(const std::string& path) {
    return read_file_tail(path, UINT64_MAX);
}

Result<std::string> read_file_tail(const std::string& path, std::uint64_t most) {
    UniqueFile file(CreateFileW(widen(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return fail(path_error(path));
    LARGE_INTEGER size{};
    if (most != UINT64_MAX && GetFileSizeEx(file.get(), &size) &&
        static_cast<std::uint64_t>(size.QuadPart) > most) {
        const LARGE_INTEGER start{.QuadPart = size.QuadPart - static_cast<LONGLONG>(most)};
        if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN))
            return fail(path_error(path));
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return fail(path_error(path));
        if (got == 0) break;
        content.append(buffer, got);
    }
    return content;
}

Result<std::string> read_text_file(const std::string& path) {
    auto content = read_file(path);
    if (!content) return content;
    if (!is_valid_utf8(*content)) return fail(path + ": the file is not valid UTF-8 text");
    if (content->starts_with("\xEF\xBB\xBF")) content->erase(0, 3);
    return content;
}

Result<void> write_file(const std::string& path, std::string_view content) {
    UniqueFile file = open_for_write(path);
    if (!file || !write_all(file.get(), content)) return fail(path_error(path));
    return {};
}

namespace {

using Prepare = std::function<Result<void>(const std::string&)>;

Result<void> replace_contents(const std::string& path, std::string_view content,
                              const Prepare& prepare, std::string_view descriptor) {
    const std::string temp = path + ".new";
    {
        auto created = create_fresh_file(temp, descriptor, GENERIC_WRITE, FILE_FLAG_WRITE_THROUGH);
        if (!created) return fail(path + ": " + created.error());
        UniqueFile file = std::move(*created);
        if (!write_all(file.get(), content) || !FlushFileBuffers(file.get())) {
            std::string error = path_error(path);
            file.reset();
            delete_file(temp);
            return fail(error);
        }
    }
    if (prepare) {
        if (auto prepared = prepare(temp); !prepared) {
            delete_file(temp);
            return prepared;
        }
    }
    if (!MoveFileExW(widen(temp).c_str(), widen(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        std::string error = path_error(path);
        delete_file(temp);
        return fail(error);
    }
    return {};
}

} // namespace

Result<UniqueFile> create_fresh_file(const std::string& path, std::string_view descriptor,
                                     DWORD access, DWORD flags) {
    // A file that already exists keeps its owner and access list whatever CreateFileW is given,
    // and whoever made it may still hold it open: a leftover goes first, and only a file made
    // by this call is used.
    const bool leftover = path_exists(path);
    if (leftover && !delete_file(path)) return fail(leftover_error(path, last_error_text()));
    auto created = create_file_with(path, descriptor, access, 0, CREATE_NEW, flags);
    if (created) return created;
    // Deleting a file that another process holds open only marks it: the name stays until that
    // process lets go of it.
    if (leftover) return fail(leftover_error(path, "it is still open in another program"));
    return fail(created.error().substr(path.size() + 2));
}

Result<void> replace_file_contents(const std::string& path, std::string_view content,
                                   const Prepare& prepare) {
    return replace_contents(path, content, prepare, readable_file_descriptor);
}

Result<void> replace_private_file_contents(const std::string& path, std::string_view content,
                                           const Prepare& prepare) {
    return replace_contents(path, content, prepare, private_file_descriptor);
}

Result<void> replace_own_file_contents(const std::string& path, std::string_view content) {
    return replace_contents(path, content, {}, {});
}

namespace {

// After CreateDirectoryW failed: another process may have made the folder meanwhile, which is
// fine; a file of that name is not a folder and later writes inside it would fail obscurely.
Result<void> folder_made_by_another(const std::string& path, DWORD error) {
    if (error == ERROR_ALREADY_EXISTS && is_directory(path)) return {};
    return fail(system_error_text(error));
}

} // namespace

Result<void> create_directories(const std::string& path) {
    if (path.empty() || is_directory(path)) return {};
    std::string parent = parent_path(path);
    if (!parent.empty() && parent != path) {
        if (auto made = create_directories(parent); !made) return made;
    }
    const std::wstring wide = widen(path);
    if (CreateDirectoryW(wide.c_str(), nullptr)) return {};
    return folder_made_by_another(path, GetLastError());
}

Result<void> create_private_directories(const std::string& path) {
    if (path.empty() || is_directory(path)) return {};
    if (auto made = create_directories(parent_path(path)); !made) return made;
    return create_folder_with(path, private_folder_descriptor);
}

bool path_exists(const std::string& path) {
    return GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool is_directory(const std::string& path) {
    DWORD attributes = GetFileAttributesW(widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::uint64_t> file_size(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool delete_file(const std::string& path) { return DeleteFileW(widen(path).c_str()) != 0; }

bool move_file(const std::string& from, const std::string& to) {
    return MoveFileExW(widen(from).c_str(), widen(to).c_str(), 0) != 0;
}

void delete_tree(const std::string& path) {
    const std::wstring wide = widen(path);
    // A junction or symbolic link is removed as a link: entering it would delete whatever it
    // points to, which lies outside the tree.
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        RemoveDirectoryW(wide.c_str());
        return;
    }
    WIN32_FIND_DATAW entry{};
    if (UniqueFind search(FindFirstFileW(widen(join_path(path, "*")).c_str(), &entry)); search) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            std::string child = join_path(path, narrow(name));
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                delete_tree(child);
            } else {
                SetFileAttributesW(widen(child).c_str(), FILE_ATTRIBUTE_NORMAL);
                delete_file(child);
            }
        } while (FindNextFileW(search.get(), &entry));
    }
    RemoveDirectoryW(wide.c_str());
}

std::string parent_path(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return {};
    std::string parent = path.substr(0, slash);
    // "C:\" keeps its separator: "C:" alone would mean the current folder of drive C.
    if (parent.size() == 2 && parent[1] == ':') parent += '\\';
    return parent;
}

std::string join_path(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '\\' || folder.back() == '/') return folder + name;
    return folder + "\\" + name;
}
