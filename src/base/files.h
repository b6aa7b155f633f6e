#pragma once
// Whole-file reads and writes with the error texts the operator sees: "<path>: <reason>".
#include "base/handles.h"
#include "base/result.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

Result<std::string> read_file(const std::string& path);
// As read_file, but the content must be valid UTF-8. A leading byte-order mark (which Notepad
// writes) is dropped, so that it never sticks to the first key of the file.
Result<std::string> read_text_file(const std::string& path);

// The bytes as text: valid UTF-8 with a leading byte-order mark dropped; the error is the reason
// alone.
Result<std::string> text_content(std::string bytes);

// Writes the whole content straight over the file (created or truncated).
Result<void> write_file(const std::string& path, std::string_view content);

// Writes the content to a temporary file in the same folder, flushes it, lets `prepare` act on
// the temporary file (for instance restrict its access rights), then replaces `path` in one
// step. On any failure the old file is untouched and the temporary one is removed.
// Write failures read "<path>: <reason>"; a failure of `prepare` is returned unchanged.
// The temporary file is made afresh, owned by the Administrators group, readable by Users.
Result<void> replace_file_contents(const std::string& path, std::string_view content,
                                   const std::function<Result<void>(const std::string&)>& prepare = {});

// As replace_file_contents, for files holding secrets: only the local system account and the
// Administrators group have access, from the moment the temporary file exists.
Result<void> replace_private_file_contents(
    const std::string& path, std::string_view content,
    const std::function<Result<void>(const std::string&)>& prepare = {});

// As replace_file_contents, for a file the operator saves in a folder of their choosing: owned by
// the Administrators group, with the access list that folder gives the files made in it.
Result<void> replace_saved_file_contents(const std::string& path, std::string_view content);

// The last `limit` bytes of the file, from the first whole line on when that cuts the file. A link,
// or a file with a second name, is refused unread: it may lead an elevated process to a file that
// the one who placed it could not read.
Result<std::string> read_file_tail(const std::string& path, std::uint64_t limit);

// As replace_file_contents, for a file of the caller's own choosing: it gets this process's user
// as owner and the rights any new file of its folder gets.
Result<void> replace_own_file_contents(const std::string& path, std::string_view content);

// A temporary file that only this call made: a leftover of that name is deleted first, and the
// new one is created with the descriptor (SDDL), opened without sharing. The error is the reason
// alone, without the path in front; a leftover that cannot be removed is named in it.
Result<UniqueFile> create_fresh_file(const std::string& path, std::string_view descriptor,
                                     DWORD access, DWORD flags = 0);

// Through a handle already open, so that it is the file that was checked, whatever happens to
// its name meanwhile. Errors are the system's description alone.
Result<std::string> read_open_file(HANDLE file);
// Gives the open file (opened with DELETE) a new name, replacing a file of that name or not.
// False with the system's error code (GetLastError), as MoveFileExW.
bool rename_open_file(HANDLE file, const std::string& target, bool replace);
// Deletes the open file (opened with DELETE) when the last handle to it closes.
bool delete_open_file(HANDLE file);

// Creates the folder and all missing parents. The error is the system's description alone.
Result<void> create_directories(const std::string& path);
// As create_directories; a folder made here (the last one of the path) is owned by the
// Administrators group, lets only the local system account and that group in, and passes that on
// to everything created inside it.
Result<void> create_private_directories(const std::string& path);

// The path made absolute from the current folder (and the current folder of its drive), as the
// operator meant it where the command was typed; unchanged when Windows cannot resolve it.
std::string absolute_path(const std::string& path);
// Refuses a path on a drive letter that this process does not see: a network drive mapped for a
// user is not mapped for the same user's elevated programs.
Result<void> check_drive_reachable(const std::string& path);

// Forces what was written to the file onto the disk. The error is the system's description alone.
Result<void> flush_to_disk(const std::string& path);

bool path_exists(const std::string& path);
// Bytes free to this process on the drive of the path, which need not exist yet.
std::optional<std::uint64_t> free_disk_space(const std::string& path);
bool is_directory(const std::string& path);
// A symbolic link or junction at the path itself, by its attributes: Wine opens what a Unix link
// leads to even when asked for the link itself, but shows the link in the attributes.
bool is_link(const std::string& path);
std::optional<std::uint64_t> file_size(const std::string& path);
bool delete_file(const std::string& path);
bool move_file(const std::string& from, const std::string& to);
// Deletes a folder with everything in it; failures are ignored.
void delete_tree(const std::string& path);

// "<parent folder>" of a path, or empty when it has none.
std::string parent_path(const std::string& path);
std::string join_path(const std::string& folder, const std::string& name);
