#include "instance/trust.h"

#include "base/text.h"

#include <windows.h>
#include <sddl.h>

#include <memory>

namespace {

constexpr std::string_view system_sid = "S-1-5-18";
constexpr std::string_view administrators_sid = "S-1-5-32-544";
constexpr std::string_view trusted_installer_sid =
    "S-1-5-80-956008885-3418522649-1831038044-1850803191-2346987893";

// What Users may hold on a readable place: read, list, execute and traverse, nothing that adds,
// changes or removes.
constexpr ACCESS_MASK read_rights = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;

// "BA", "S-1-5-32-544" and the like, as the canonical SID text; empty when it is not a SID.
std::string canonical_sid(std::string_view text) {
    PSID sid = nullptr;
    if (text.empty() || !ConvertStringSidToSidW(widen(text).c_str(), &sid)) return {};
    std::unique_ptr<void, LocalFreer> owned(sid);
    return sid_text(sid);
}

// What the list grants: to SYSTEM and the Administrators group on the object itself, and to
// anybody else in any entry at all (an entry for new children counts: it is a right to come).
struct Grants {
    bool valid = false;
    bool protected_list = false;
    ACCESS_MASK system = 0;
    ACCESS_MASK administrators = 0;
    ACCESS_MASK others = 0;
};

Grants grants_of(std::string_view access, std::string_view administrator_user) {
    auto descriptor = parse_descriptor(access);
    if (!descriptor) return {};
    PSECURITY_DESCRIPTOR raw = descriptor->get();
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE, defaulted = FALSE;
    PACL list = nullptr;
    // No list, or a null one, lets everybody in.
    if (!GetSecurityDescriptorControl(raw, &control, &revision) ||
        !GetSecurityDescriptorDacl(raw, &present, &list, &defaulted) || !present || !list)
        return {};

    Grants grants{.valid = true, .protected_list = (control & SE_DACL_PROTECTED) != 0};
    GENERIC_MAPPING file_mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                                 FILE_ALL_ACCESS};
    for (DWORD i = 0; i < list->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* entry = nullptr;
        // Denials only take away; a conditional grant counts as a grant.
        if (!GetAce(list, i, reinterpret_cast<void**>(&entry)) ||
            (entry->Header.AceType != ACCESS_ALLOWED_ACE_TYPE &&
             entry->Header.AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE))
            continue;
        ACCESS_MASK mask = entry->Mask;
        MapGenericMask(&mask, &file_mapping);
        const std::string sid = sid_text(&entry->SidStart);
        const bool on_itself = !(entry->Header.AceFlags & INHERIT_ONLY_ACE);
        if (sid == system_sid) {
            if (on_itself) grants.system |= mask;
        } else if (sid == administrators_sid) {
            if (on_itself) grants.administrators |= mask;
        } else if (sid != trusted_installer_sid && sid != administrator_user) {
            grants.others |= mask;
        }
    }
    return grants;
}

bool owned_by_administrators(std::string_view owner, std::string_view administrator_user) {
    const std::string sid = canonical_sid(owner);
    if (sid.empty()) return false;
    return sid == system_sid || sid == administrators_sid || sid == trusted_installer_sid ||
           sid == administrator_user;
}

bool full_control(ACCESS_MASK mask) {
    return (mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS;
}

} // namespace

Verdict judge(Place place, const FileSecurity& found, std::string_view administrator_user) {
    const std::string user = canonical_sid(administrator_user);
    if (!owned_by_administrators(found.owner, user)) {
        // A folder is only a container: it is taken over with what is in it. Files, and a data
        // directory whose users and passwords someone else wrote, are never read.
        const bool folder =
            place == Place::parent_folder || place == Place::data_root || place == Place::backups;
        return folder ? Verdict::take_over : Verdict::set_aside;
    }
    // The parent folder may hold other programs' folders with rights of their own: as long as an
    // administrator owns it, nobody else can remove or replace the data root inside it.
    if (place == Place::parent_folder) return Verdict::trusted;
    const Grants grants = grants_of(found.access, user);
    const bool readable = place == Place::data_root || place == Place::config_file;
    const ACCESS_MASK others_may = readable ? read_rights : 0;
    if (!grants.valid || (grants.others & ~others_may) != 0) return Verdict::take_over;
    if (!grants.protected_list || !full_control(grants.system) ||
        !full_control(grants.administrators))
        return Verdict::protect;
    return Verdict::trusted;
}

std::string_view descriptor_of(Place place) {
    switch (place) {
    case Place::parent_folder:
    case Place::data_root:
        return readable_folder_descriptor;
    case Place::data:
    case Place::backups:
        return private_folder_descriptor;
    case Place::settings_file:
        return private_file_descriptor;
    case Place::config_file:
        return readable_file_descriptor;
    }
    return private_file_descriptor;
}
