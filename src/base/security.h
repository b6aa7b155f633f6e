#pragma once
// Owners and access lists of files and folders, in the security descriptor language (SDDL): read,
// set, and given to what is created. What an elevated process reads or writes in a folder is only
// as safe as the rights of that folder and of the files in it.
#include "base/handles.h"
#include "base/result.h"

#include <memory>
#include <string>
#include <string_view>

// Descriptors of what the program creates. The owner is the Administrators group, so that the
// program's own files pass its owner check; the lists are protected (nothing inherited), SYSTEM
// and Administrators have full control, and "readable" adds read and execute for Users.
inline constexpr std::string_view private_file_descriptor = "O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)";
inline constexpr std::string_view readable_file_descriptor =
    "O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)";
inline constexpr std::string_view private_folder_descriptor =
    "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
// Users may read the folder and the files right in it; its subfolders inherit nothing for them.
inline constexpr std::string_view readable_folder_descriptor =
    "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OINP;0x1200a9;;;BU)";
// Owner only: the list is inherited from the folder, as for any file created there.
inline constexpr std::string_view admin_owned_descriptor = "O:BA";

// The owner as a SID text ("S-1-5-32-544") and the access list as SDDL ("D:P(A;OICI;FA;;;SY)").
struct FileSecurity {
    std::string owner;
    std::string access;
};

// Memory the security calls hand out, given back with LocalFree.
struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};
using OwnedDescriptor = std::unique_ptr<void, LocalFreer>;

// A descriptor from SDDL; the error is the system's description.
Result<OwnedDescriptor> parse_descriptor(std::string_view sddl);
// "S-1-5-32-544" and the like; empty for no SID.
std::string sid_text(PSID sid);

// The file or folder itself, never what a link leads to, shared for everything (folders open
// too, and with the backup and restore privileges whatever the list says).
UniqueFile open_itself(const std::string& path, DWORD access);

// How owners and access lists are read and set. Wine keeps neither (it reads back a list made
// from the Unix mode bits, with its own user as owner), so test builds replace these calls.
struct SecurityCalls {
    // Of an open file or folder (READ_CONTROL); the error is the system's description alone.
    Result<FileSecurity> (*read)(HANDLE file);
    // Sets owner and access list of the file or folder itself; a link is not followed. A file
    // with more than one name is refused: its other names lie where its rights are not ours.
    Result<void> (*write)(const std::string& path, std::string_view descriptor);
};
SecurityCalls system_security_calls();
// For the whole process, before anything is read; the entry point of a test build calls it.
void replace_security_calls(const SecurityCalls& calls);

Result<FileSecurity> read_security(HANDLE file);
// Errors read "<path>: <reason>".
Result<FileSecurity> read_security(const std::string& path);
Result<void> write_security(const std::string& path, std::string_view descriptor);

// CreateFileW with a security descriptor in SDDL for a file it creates; an empty one gives the
// file what any new file of its folder gets. Errors read "<path>: <reason>".
Result<UniqueFile> create_file_with(const std::string& path, std::string_view descriptor,
                                    DWORD access, DWORD share, DWORD disposition, DWORD flags);
// One folder with the descriptor. An existing folder is no error (and keeps its rights); the
// error is the system's description alone.
Result<void> create_folder_with(const std::string& path, std::string_view descriptor);

// The user this process runs as, as a SID text, when that user counts as an administrator here:
// the process holds the Administrators group and does not give new files that group as owner.
// That is so where all of an administrator's processes run with full rights (UAC off, Wine).
// Empty otherwise: with UAC an elevated process gives its files the Administrators group, while
// the same user's processes that are not elevated own what they make, and must not pass for it.
std::string administrator_user();

// The owner this process gives what it creates (its token's default owner), as a SID text.
std::string default_owner();

// Whether the account (a SID text) is an administrator here: SYSTEM, the Administrators group,
// TrustedInstaller, or a user account that belongs to the Administrators group, directly or
// through a domain group (with UAC, what an administrator makes without elevation is owned by
// the account).
bool is_administrator_account(std::string_view sid);

// Takes ownership, restore and backup privileges where the token holds them, so that an
// administrator can take over what an ordinary user locked everybody else out of.
void enable_ownership_privileges();
