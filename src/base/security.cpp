#include "base/security.h"

#include "base/system_library.h"
#include "base/text.h"

#include <windows.h>
#include <aclapi.h>
#include <lm.h>
#include <sddl.h>

#include <initializer_list>
#include <map>
#include <mutex>

namespace {

template <class T> using LocalOwned = std::unique_ptr<T, LocalFreer>;

std::string path_error(const std::string& path) {
    return path + ": " + last_error_text();
}

Result<FileSecurity> read_system_security(HANDLE file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    const DWORD code = GetSecurityInfo(file, SE_FILE_OBJECT,
                                       OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                       &owner, nullptr, nullptr, nullptr, &raw);
    if (code != ERROR_SUCCESS) return fail(system_error_text(code));
    OwnedDescriptor descriptor(raw);
    wchar_t* access = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
            raw, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &access, nullptr))
        return fail(last_error_text());
    LocalOwned<wchar_t> access_text(access);
    return FileSecurity{.owner = sid_text(owner), .access = narrow(access)};
}

Result<void> write_system_security(const std::string& path, std::string_view descriptor) {
    auto parsed = parse_descriptor(descriptor);
    if (!parsed) return fail(path + ": " + parsed.error());
    UniqueFile file = open_itself(path, WRITE_DAC | WRITE_OWNER | READ_CONTROL);
    if (!file) return fail(path_error(path));
    BY_HANDLE_FILE_INFORMATION info{};
    // A file with a second name elsewhere is shared with a place that is not ours (a hard link an
    // ordinary user made to a system file): its rights are not ours to change, and it is not
    // made private by trying.
    if (!GetFileInformationByHandle(file.get(), &info)) return fail(path_error(path));
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && info.nNumberOfLinks > 1)
        return fail(path + ": the file has more than one name, so its rights are not changed");

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

constexpr std::string_view system_sid = "S-1-5-18";
constexpr std::string_view administrators_sid = "S-1-5-32-544";
constexpr std::string_view trusted_installer_sid =
    "S-1-5-80-956008885-3418522649-1831038044-1850803191-2346987893";

std::wstring account_name(PSID sid, SID_NAME_USE& use) {
    wchar_t name[256], domain[256];
    DWORD name_size = 256, domain_size = 256;
    if (!LookupAccountSidW(nullptr, sid, name, &name_size, domain, &domain_size, &use)) return {};
    return domain_size ? std::wstring(domain) + L"\\" + name : std::wstring(name);
}

// A user account in the Administrators group, through a domain group too. The group's name is
// asked from its SID: it is translated on non-English Windows.
bool user_in_administrators(std::string_view sid_string) {
    using GetGroups = decltype(NetUserGetLocalGroups);
    using FreeBuffer = decltype(NetApiBufferFree);
    static auto* const get_groups =
        system_function<GetGroups>(L"netapi32.dll", "NetUserGetLocalGroups");
    static auto* const free_buffer =
        system_function<FreeBuffer>(L"netapi32.dll", "NetApiBufferFree");
    PSID sid = nullptr;
    if (!get_groups || !free_buffer || !ConvertStringSidToSidW(widen(sid_string).c_str(), &sid))
        return false;
    LocalOwned<void> owned(sid);
    SID_NAME_USE use{};
    const std::wstring account = account_name(sid, use);
    alignas(8) BYTE admins[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof admins;
    SID_NAME_USE group_use{};
    if (account.empty() || use != SidTypeUser ||
        !CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size))
        return false;
    const std::wstring group = account_name(admins, group_use);
    const std::wstring group_name = group.substr(group.find(L'\\') + 1);
    LOCALGROUP_USERS_INFO_0* groups = nullptr;
    DWORD read = 0, total = 0;
    if (get_groups(nullptr, account.c_str(), 0, LG_INCLUDE_INDIRECT,
                   reinterpret_cast<BYTE**>(&groups), MAX_PREFERRED_LENGTH, &read,
                   &total) != NERR_Success)
        return false;
    bool member = false;
    for (DWORD i = 0; i < read && !member; ++i)
        member = CompareStringOrdinal(groups[i].lgrui0_name, -1, group_name.c_str(), -1, TRUE) ==
                 CSTR_EQUAL;
    free_buffer(groups);
    return member;
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

UniqueFile open_itself(const std::string& path, DWORD access) {
    return UniqueFile(
        CreateFileW(widen(path).c_str(), access,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

Result<FileSecurity> read_security(HANDLE file) {
    return current_calls.read(file);
}

Result<FileSecurity> read_security(const std::string& path) {
    UniqueFile file = open_itself(path, READ_CONTROL);
    if (!file) return fail(path_error(path));
    auto found = read_security(file.get());
    if (!found) return fail(path + ": " + found.error());
    return found;
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

std::string default_owner() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    return token_sid(token.get(), TokenOwner);
}

bool is_administrator_account(std::string_view sid) {
    if (sid == system_sid || sid == administrators_sid || sid == trusted_installer_sid) return true;
    // Only accounts of people can belong to a group here (local, domain and Entra accounts).
    if (!sid.starts_with("S-1-5-21-") && !sid.starts_with("S-1-12-")) return false;
    // Asked once per account and process: the same few owners come up on every file.
    static std::mutex lock;
    static std::map<std::string, bool, std::less<>> known;
    std::lock_guard guard(lock);
    if (auto found = known.find(sid); found != known.end()) return found->second;
    const bool administrator = user_in_administrators(sid);
    known.emplace(std::string(sid), administrator);
    return administrator;
}
