#include "base/files.h"

#include "base/handles.h"
#include "base/security.h"
#include "base/text.h"

#include <windows.h>

#include <algorithm>
#include <vector>

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
    UniqueFile file(CreateFileW(widen(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return fail(path_error(path));
    auto content = read_open_file(file.get());
    if (!content) return fail(path + ": " + content.error());
    return content;
}

Result<std::string> read_open_file(HANDLE file) {
    std::string content;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) return fail(last_error_text());
        if (got == 0) break;
        content.append(buffer, got);
    }
    return content;
}

bool rename_open_file(HANDLE file, const std::string& target, bool replace) {
    const std::wstring name = widen(target);
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = replace;
    rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), rename->FileName);
    return SetFileInformationByHandle(file, FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size())) != 0;
}

bool delete_open_file(HANDLE file) {
    FILE_DISPOSITION_INFO disposition{.DeleteFile = TRUE};
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

Result<std::string> read_text_file(const std::string& path) {
    auto content = read_file(path);
    if (!content) return content;
    auto text = text_content(std::move(*content));
    if (!text) return fail(path + ": " + text.error());
    return text;
}

Result<std::string> text_content(std::string bytes) {
    if (!is_valid_utf8(bytes)) return fail("the file is not valid UTF-8 text");
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    return bytes;
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

Result<void> replace_saved_file_contents(const std::string& path, std::string_view content) {
    return replace_contents(path, content, {}, admin_owned_descriptor);
}

Result<std::string> read_file_tail(const std::string& path, std::uint64_t limit) {
    UniqueFile file(CreateFileW(widen(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !GetFileInformationByHandle(file.get(), &info)) return fail(path_error(path));
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || info.nNumberOfLinks > 1)
        return fail(path + ": a link or a second name of another file; not read");
    const std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    const std::uint64_t start = size > limit ? size - limit : 0;
    LARGE_INTEGER at{.QuadPart = static_cast<LONGLONG>(start)};
    if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) return fail(path_error(path));
    std::string content;
    char buffer[65536];
    // The file may grow meanwhile (a running server's log): what was there when it was opened.
    while (content.size() < size - start) {
        DWORD got = 0;
        const auto want = static_cast<DWORD>(
            std::min<std::uint64_t>(sizeof buffer, size - start - content.size()));
        if (!ReadFile(file.get(), buffer, want, &got, nullptr)) return fail(path_error(path));
        if (got == 0) break;
        content.append(buffer, got);
    }
    if (const std::size_t line_end = content.find('\n'); start > 0 && line_end != std::string::npos)
        content.erase(0, line_end + 1);
    return content;
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

std::string absolute_path(const std::string& path) {
    const std::wstring wide = widen(path);
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (path.empty() || needed == 0) return path;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return path;
    full.resize(length);
    return narrow(full);
}

Result<void> check_drive_reachable(const std::string& path) {
    const bool on_drive_letter =
        path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (!on_drive_letter) return {};
    const std::string drive = path.substr(0, 2);
    if (GetDriveTypeW(widen(drive + "\\").c_str()) != DRIVE_NO_ROOT_DIR) return {};
    return fail(path + ": the drive " + drive +
                " is not there for this program (run as administrator, it does not see the network "
                "drives mapped without administrator rights); use the network path, "
                "\\\\server\\share\\...");
}

Result<void> flush_to_disk(const std::string& path) {
    UniqueFile file(CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !FlushFileBuffers(file.get())) return fail(last_error_text());
    return {};
}

bool path_exists(const std::string& path) {
    return GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool is_directory(const std::string& path) {
    DWORD attributes = GetFileAttributesW(widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::uint64_t> free_disk_space(const std::string& path) {
    wchar_t volume[MAX_PATH] = {};
    ULARGE_INTEGER available{};
    if (!GetVolumePathNameW(widen(path).c_str(), volume, MAX_PATH) ||
        !GetDiskFreeSpaceExW(volume, &available, nullptr, nullptr))
        return std::nullopt;
    return available.QuadPart;
}

bool is_link(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
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
