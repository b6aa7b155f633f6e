#include "access_list.h"

#include "base/text.h"

#include <algorithm>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

namespace support {

std::optional<std::vector<std::string>> granted_sids(const std::string& path) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(widen(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<std::string> sids;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) ||
            ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        wchar_t* text = nullptr;
        if (ConvertSidToStringSidW(&ace->SidStart, &text)) {
            sids.push_back(narrow(text));
            LocalFree(text);
        }
    }
    LocalFree(descriptor);
    return sids;
}

bool open_to_everyone(const std::vector<std::string>& sids) {
    for (const char* everybody : {"S-1-1-0", "S-1-5-32-545", "S-1-5-11"})
        if (std::find(sids.begin(), sids.end(), everybody) != sids.end()) return true;
    return false;
}

} // namespace support
