// Bench stand-in for icacls: "<path> /inheritance:r /grant:r *SID:F ..." really sets the file's
// access list (Wine keeps it with the file, so it follows a rename), and "<path>" alone prints
// it. Exit codes as the real tool: 0 done, 2 file not found, 87 bad arguments.
#include "standin.h"

#include <aclapi.h>
#include <sddl.h>

using namespace standin;

namespace {

int not_found(const std::wstring& path) {
    say(utf8(path) + ": The system cannot find the file specified.\r\n"
        "Successfully processed 0 files; Failed processing 1 files\r\n");
    return 2;
}

std::string describe_access(DWORD mask) {
    if ((mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS || (mask & GENERIC_ALL)) return "(F)";
    if (mask & (FILE_WRITE_DATA | GENERIC_WRITE)) return "(M)";
    return "(RX)";
}

int show(const std::wstring& path) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return not_found(path);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    std::string text = utf8(path) + ((control & SE_DACL_PROTECTED) ? " (protected)" : "");
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
        wchar_t* sid = nullptr;
        ConvertSidToStringSidW(&ace->SidStart, &sid);
        text += std::string(i ? "\r\n  " : " ") + "*" + utf8(sid ? sid : L"?") + ":" +
                ((ace->Header.AceFlags & INHERITED_ACE) ? "(I)" : "") + describe_access(ace->Mask);
        LocalFree(sid);
    }
    LocalFree(descriptor);
    say(text + "\r\n\r\nSuccessfully processed 1 files; Failed processing 0 files\r\n");
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    ensure_folders();
    log_call(L"icacls", argc, argv);
    if (auto code = forced_exit(L"icacls", L"")) return *code;
    if (argc < 2) {
        say("Invalid parameter \"\"\r\n");
        return 87;
    }
    std::wstring path = argv[1];
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return not_found(path);
    if (argc == 2) return show(path);

    bool remove_inherited = false;
    std::vector<std::wstring> grants;
    for (int i = 2; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (iequals(arg, L"/inheritance:r")) {
            remove_inherited = true;
        } else if (iequals(arg, L"/grant:r") || iequals(arg, L"/grant")) {
            while (i + 1 < argc && argv[i + 1][0] != L'/') grants.push_back(argv[++i]);
        } else {
            say("Invalid parameter \"" + utf8(arg) + "\"\r\n");
            return 87;
        }
    }

    std::vector<PSID> sids;
    std::vector<EXPLICIT_ACCESS_W> entries;
    for (const auto& grant : grants) {
        size_t colon = grant.rfind(L':');
        if (grant.empty() || grant[0] != L'*' || colon == std::wstring::npos) {
            say("Invalid parameter \"" + utf8(grant) + "\"\r\n");
            return 87;
        }
        PSID sid = nullptr;
        if (!ConvertStringSidToSidW(grant.substr(1, colon - 1).c_str(), &sid)) {
            say("Invalid parameter \"" + utf8(grant) + "\"\r\n");
            return 87;
        }
        sids.push_back(sid);
        EXPLICIT_ACCESS_W entry{};
        entry.grfAccessPermissions = grant.substr(colon + 1) == L"F" ? FILE_ALL_ACCESS
                                                                     : FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
        entry.grfAccessMode = SET_ACCESS;
        entry.grfInheritance = NO_INHERITANCE;
        entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        entry.Trustee.TrusteeType = TRUSTEE_IS_UNKNOWN;
        entry.Trustee.ptstrName = static_cast<LPWSTR>(sid);
        entries.push_back(entry);
    }

    PACL acl = nullptr;
    DWORD status = SetEntriesInAclW(static_cast<ULONG>(entries.size()), entries.data(), nullptr, &acl);
    if (status == ERROR_SUCCESS) {
        SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION |
                                    (remove_inherited ? PROTECTED_DACL_SECURITY_INFORMATION : 0);
        status = SetNamedSecurityInfoW(path.data(), SE_FILE_OBJECT, what, nullptr, nullptr, acl, nullptr);
    }
    LocalFree(acl);
    for (PSID sid : sids) LocalFree(sid);
    if (status != ERROR_SUCCESS) {
        say(utf8(path) + ": error " + std::to_string(status) +
            "\r\nSuccessfully processed 0 files; Failed processing 1 files\r\n");
        return static_cast<int>(status);
    }

    auto rights = load_state(L"icacls");
    std::erase_if(rights, [&](const Record& r) { return r[0] == utf8(path); });
    std::string granted;
    for (const auto& grant : grants) granted += (granted.empty() ? "" : " ") + utf8(grant);
    rights.push_back({utf8(path), remove_inherited ? "protected" : "inherits", granted});
    save_state(L"icacls", rights);
    say("processed file: " + utf8(path) + "\r\nSuccessfully processed 1 files; Failed processing 0 files\r\n");
    return 0;
}
