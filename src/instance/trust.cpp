#include "instance/trust.h"

#include "base/text.h"

#include <windows.h>
#include <sddl.h>

#include <memory>
#include <vector>

namespace {

constexpr std::string_view system_sid = "S-1-5-18";
constexpr std::string_view administrators_sid = "S-1-5-32-544";
// CREATOR OWNER stands for whoever makes something inside later, never for anybody on the folder
// itself.
constexpr std::string_view creator_owner_sid = "S-1-3-0";

// What Users may hold on a readable place: read, list, execute and traverse, nothing that adds,
// changes or removes.
constexpr ACCESS_MASK read_rights = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
// Whoever holds one of these on a file may change what an administrator reads from it.
constexpr ACCESS_MASK changing_rights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | DELETE | WRITE_DAC | WRITE_OWNER;
// Whoever holds one of these may give themselves anything later, through a handle opened now.
constexpr ACCESS_MASK rights_over_rights = WRITE_DAC | WRITE_OWNER;
// On the parent folder: what lets somebody remove or replace the data root inside it.
constexpr ACCESS_MASK replacing_rights = FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER;
// On a program folder: what lets somebody put a program of their own where ours is started.
constexpr ACCESS_MASK planting_rights = changing_rights | FILE_DELETE_CHILD;

ACCESS_MASK mapped(ACCESS_MASK mask) {
    GENERIC_MAPPING file_mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                                 FILE_ALL_ACCESS};
    MapGenericMask(&mask, &file_mapping);
    return mask;
}

// "BA", "S-1-5-32-544" and the like, as the canonical SID text; empty when it is not a SID.
std::string canonical_sid(std::string_view text) {
    PSID sid = nullptr;
    if (text.empty() || !ConvertStringSidToSidW(widen(text).c_str(), &sid)) return {};
    std::unique_ptr<void, LocalFreer> owned(sid);
    return sid_text(sid);
}

// The list of a descriptor in SDDL; nothing for no list or a null one (which lets everybody in).
struct ParsedList {
    OwnedDescriptor descriptor;
    PACL list = nullptr;
    bool protected_list = false;
};

std::optional<ParsedList> parse_list(std::string_view access) {
    auto descriptor = parse_descriptor(access);
    if (!descriptor) return std::nullopt;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE, defaulted = FALSE;
    PACL list = nullptr;
    if (!GetSecurityDescriptorControl(descriptor->get(), &control, &revision) ||
        !GetSecurityDescriptorDacl(descriptor->get(), &present, &list, &defaulted) || !present ||
        !list)
        return std::nullopt;
    return ParsedList{std::move(*descriptor), list, (control & SE_DACL_PROTECTED) != 0};
}

// An allowing entry with its rights mapped to file rights; denials only take away, and a
// conditional grant counts as a grant.
ACCESS_ALLOWED_ACE* allowing_entry(PACL list, DWORD index) {
    ACCESS_ALLOWED_ACE* entry = nullptr;
    if (!GetAce(list, index, reinterpret_cast<void**>(&entry))) return nullptr;
    if (entry->Header.AceType != ACCESS_ALLOWED_ACE_TYPE &&
        entry->Header.AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE)
        return nullptr;
    return entry;
}

// What the list grants: to SYSTEM and the Administrators group on the object itself, and to
// anybody else on the object itself and in any entry at all (an entry for new children counts:
// it is a right to come).
struct Grants {
    bool valid = false;
    bool protected_list = false;
    ACCESS_MASK system = 0;
    ACCESS_MASK administrators = 0;
    ACCESS_MASK others_on_itself = 0;
    ACCESS_MASK others = 0;
};

bool is_administrator(std::string_view sid, std::string_view administrator_user) {
    return (!administrator_user.empty() && sid == administrator_user) ||
           is_administrator_account(sid);
}

Grants grants_of(std::string_view access, std::string_view administrator_user) {
    auto parsed = parse_list(access);
    if (!parsed) return {};
    Grants grants{.valid = true, .protected_list = parsed->protected_list};
    for (DWORD i = 0; i < parsed->list->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* entry = allowing_entry(parsed->list, i);
        if (!entry) continue;
        const ACCESS_MASK mask = mapped(entry->Mask);
        const std::string sid = sid_text(&entry->SidStart);
        const bool on_itself = !(entry->Header.AceFlags & INHERIT_ONLY_ACE);
        if (sid == system_sid) {
            if (on_itself) grants.system |= mask;
        } else if (sid == administrators_sid) {
            if (on_itself) grants.administrators |= mask;
        } else if (!is_administrator(sid, administrator_user)) {
            grants.others |= mask;
            if (on_itself && sid != creator_owner_sid) grants.others_on_itself |= mask;
        }
    }
    return grants;
}

bool full_control(ACCESS_MASK mask) {
    return (mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS;
}

bool is_folder(Place place) {
    return place != Place::settings_file && place != Place::config_file;
}

Verdict judge_parent(const Grants& grants) {
    if (!grants.valid || (grants.others_on_itself & replacing_rights) != 0) return Verdict::repair;
    return Verdict::trusted;
}

} // namespace

bool made_by_administrator(std::string_view owner, std::string_view administrator_user) {
    const std::string sid = canonical_sid(owner);
    return !sid.empty() && is_administrator(sid, canonical_sid(administrator_user));
}

Verdict judge(Place place, const FileSecurity& found, std::string_view administrator_user) {
    if (!made_by_administrator(found.owner, administrator_user)) return Verdict::set_aside;
    const std::string user = canonical_sid(administrator_user);
    const Grants grants = grants_of(found.access, user);
    if (place == Place::parent_folder) return judge_parent(grants);
    // Rights on programs made inside later (CREATOR OWNER, as under Program Files) are the
    // maker's, an administrator's: only what others hold on the folder itself counts.
    if (place == Place::program_folder)
        return grants.valid && (grants.others_on_itself & planting_rights) == 0
                   ? Verdict::trusted
                   : Verdict::set_aside;
    const ACCESS_MASK lasting = is_folder(place) ? rights_over_rights : changing_rights;
    if (!grants.valid || (grants.others_on_itself & lasting) != 0) return Verdict::set_aside;
    const bool readable = place == Place::data_root || place == Place::config_file;
    const ACCESS_MASK others_may = readable ? read_rights : 0;
    if ((grants.others & ~others_may) != 0) return Verdict::repair;
    if (!grants.protected_list || !full_control(grants.system) ||
        !full_control(grants.administrators))
        return Verdict::protect;
    return Verdict::trusted;
}

std::optional<std::string> repaired_parent_list(std::string_view access,
                                                std::string_view administrator_user) {
    auto parsed = parse_list(access);
    if (!parsed) return std::nullopt;
    const std::string user = canonical_sid(administrator_user);
    // Inherited entries cannot be changed where they are inherited: the list keeps them as its
    // own, and inherits nothing more.
    std::vector<BYTE> buffer(parsed->list->AclSize);
    auto* repaired = reinterpret_cast<PACL>(buffer.data());
    if (!InitializeAcl(repaired, static_cast<DWORD>(buffer.size()), ACL_REVISION_DS))
        return std::nullopt;
    for (DWORD i = 0; i < parsed->list->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(parsed->list, i, reinterpret_cast<void**>(&header))) return std::nullopt;
        std::vector<BYTE> copy(reinterpret_cast<BYTE*>(header),
                               reinterpret_cast<BYTE*>(header) + header->AceSize);
        auto* entry = reinterpret_cast<ACE_HEADER*>(copy.data());
        entry->AceFlags &= ~INHERITED_ACE;
        if (ACCESS_ALLOWED_ACE* allowing = allowing_entry(parsed->list, i);
            allowing && !(header->AceFlags & INHERIT_ONLY_ACE) &&
            !is_administrator(sid_text(&allowing->SidStart), user)) {
            reinterpret_cast<ACCESS_ALLOWED_ACE*>(entry)->Mask =
                mapped(allowing->Mask) & ~replacing_rights;
        }
        if (!AddAce(repaired, ACL_REVISION_DS, MAXDWORD, entry, entry->AceSize))
            return std::nullopt;
    }
    SECURITY_DESCRIPTOR descriptor{};
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, repaired, FALSE) ||
        !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return std::nullopt;
    wchar_t* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
            &descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr))
        return std::nullopt;
    std::unique_ptr<wchar_t, LocalFreer> owned(text);
    return narrow(text);
}

std::string_view descriptor_of(Place place) {
    switch (place) {
    case Place::parent_folder:
    case Place::data_root:
        return readable_folder_descriptor;
    case Place::data:
    case Place::backups:
    case Place::program_folder:
        return private_folder_descriptor;
    case Place::settings_file:
        return private_file_descriptor;
    case Place::config_file:
        return readable_file_descriptor;
    }
    return private_file_descriptor;
}
