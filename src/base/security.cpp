#include "base/security.h"

#include "base/text.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <initializer_list>

namespace {

template <class T> using LocalOwned = std::unique_ptr<T, LocalFreer>;

std::string path_error(const std::string& path) {
    return path + ": " + last_error_text();
}

// The file or folder itself, never what a link leads to; the backup semantics also open folders
// and, with the backup and restore privileges, whatever its list says.
UniqueFile open_for_security(const std::string& path, DWORD access) {
    return UniqueFile(
        CreateFileW(widen(path).c_str(), access,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

Result<FileSecurity> read_system_security(const std::string& path) {
    UniqueFile file = open_for_security(path, READ_CONTROL);
    if (!file) return fail(path_error(path));
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    const DWORD code = GetSecurityInfo(file.get(), SE_FILE_OBJECT,
                                       OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                       &owner, nullptr, nullptr, nullptr, &raw);
    if (code != ERROR_SUCCESS) return fail(path + ": " + system_error_text(code));
    OwnedDescriptor descriptor(raw);
    wchar_t* access = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
            raw, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &access, nullptr))
        return fail(path_error(path));
    LocalOwned<wchar_t> access_text(access);
    return FileSecurity{.owner = sid_text(owner), .access = narrow(access)};
}

Result<void> write_system_security(const std::string& path, std::string_view descriptor) {
    auto parsed = parse_descriptor(descriptor);
    if (!parsed) return fail(path + ": " + parsed.error());
    UniqueFile file = open_for_security(path, WRITE_DAC | WRITE_OWNER | READ_CONTROL);
    if (!file) return fail(path_error(path));
    BY_HANDLE_FILE_INFORMATION info{};
    // A file with a second name elsewhere is shared with a place that is not ours (a hard link an
    // ordinary user made to a system file): its rights are not ours to change.
    if (GetFileInformationByHandle(file.get(), &info) &&
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && info.nNumberOfLinks > 1)
        return {};

    PSID owner = nullptr;
    PACL list = nullptr;
    BOOL defaulted = FALSE, has_list = FALSE;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorOwner(parsed->get(), &owner, &defaulted);
    GetSecurityDescriptorDacl(parsed->get(), &has_list, &list, &defaulted);
    GetSecurityDescriptorControl(parsed->get(), &control, &revision);
    SECURITY_INFORMATION what = 0;
    if (owner) what |= OWNER_SECURITY_INFORMATION;
    if (has_list)
        what |= DACL_SECURITY_INFORMATION |
                ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                               : UNPROTECTED_DACL_SECURITY_INFORMATION);
    const DWORD code =
        SetSecurityInfo(file.get(), SE_FILE_OBJECT, what, owner, nullptr, list, nullptr);
    if (code != ERROR_SUCCESS) return fail(path + ": " + system_error_text(code));
    return {};
}

// Set once by the entry point, before any other thread runs.
SecurityCalls current_calls = system_security_calls();

std::string token_sid(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
    alignas(8) BYTE buffer[SECURITY_MAX_SID_SIZE + 64] = {};
    DWORD size = 0;
    if (!GetTokenInformation(token, kind, buffer, sizeof buffer, &size)) return {};
    PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid
                                 : reinterpret_cast<TOKEN_OWNER*>(buffer)->Owner;
    return sid_text(sid);
}

} // namespace

Result<OwnedDescriptor> parse_descriptor(std::string_view sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(widen(sddl).c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return fail(last_error_text());
    return OwnedDescriptor(descriptor);
}

std::string sid_text(PSID sid) {
    wchar_t* text = nullptr;
    if (!sid || !ConvertSidToStringSidW(sid, &text)) return {};
    LocalOwned<wchar_t> owned(text);
    return narrow(text);
}

SecurityCalls system_security_calls() {
    return {read_system_security, write_system_security};
}

void replace_security_calls(const SecurityCalls& calls) {
    current_calls = calls;
}

Result<FileSecurity> read_security(const std::string& path) {
    return current_calls.read(path);
}

Result<void> write_security(const std::string& path, std::string_view descriptor) {
    return current_calls.write(path, descriptor);
}

Result<UniqueFile> create_file_with(const std::string& path, std::string_view descriptor,
                                    DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    OwnedDescriptor parsed;
    if (!descriptor.empty()) {
        auto given = parse_descriptor(descriptor);
        if (!given) return fail(path + ": " + given.error());
        parsed = std::move(*given);
    }
    SECURITY_ATTRIBUTES security{
        .nLength = sizeof security, .lpSecurityDescriptor = parsed.get(), .bInheritHandle = FALSE};
    const std::wstring wide = widen(path);
    auto create = [&] {
        return UniqueFile(CreateFileW(wide.c_str(), access, share, &security, disposition,
                                      FILE_ATTRIBUTE_NORMAL | flags, nullptr));
    };
    UniqueFile file = create();
    // SYSTEM may name the Administrators group as owner only with the restore privilege on.
    if (!file && GetLastError() == ERROR_INVALID_OWNER) {
        enable_ownership_privileges();
        file = create();
    }
    if (!file) return fail(path_error(path));
    return file;
}

Result<void> create_folder_with(const std::string& path, std::string_view descriptor) {
    auto parsed = parse_descriptor(descriptor);
    if (!parsed) return fail(parsed.error());
    SECURITY_ATTRIBUTES security{
        .nLength = sizeof security, .lpSecurityDescriptor = parsed->get(), .bInheritHandle = FALSE};
    const std::wstring wide = widen(path);
    BOOL made = CreateDirectoryW(wide.c_str(), &security);
    if (!made && GetLastError() == ERROR_INVALID_OWNER) {
        enable_ownership_privileges();
        made = CreateDirectoryW(wide.c_str(), &security);
    }
    if (made) return {};
    const DWORD error = GetLastError();
    // Another process may have made it meanwhile; a file of that name is not a folder.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (error == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    return fail(system_error_text(error));
}

std::string administrator_user() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    alignas(8) BYTE admins[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof admins;
    BOOL member = FALSE;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size) ||
        !CheckTokenMembership(nullptr, admins, &member) || !member)
        return {};
    if (token_sid(token.get(), TokenOwner) == sid_text(admins)) return {};
    return token_sid(token.get(), TokenUser);
}

void enable_ownership_privileges() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.put())) return;
    for (const wchar_t* name : {SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME, SE_BACKUP_NAME}) {
        TOKEN_PRIVILEGES wanted{.PrivilegeCount = 1};
        wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (LookupPrivilegeValueW(nullptr, name, &wanted.Privileges[0].Luid))
            AdjustTokenPrivileges(token.get(), FALSE, &wanted, 0, nullptr, nullptr);
    }
}
