#pragma once
// Whether what lies in the data folder may be trusted by an elevated process: the decision alone,
// on the owner and access list as the system gives them (SID text and SDDL), without touching
// any file.
#include "base/security.h"

#include <optional>
#include <string>
#include <string_view>

enum class Place {
    parent_folder,  // "KELTA Retail": may hold other programs' folders with rights of their own
    data_root,      // readable by Users, changed by administrators only
    data,           // the server's data directory: private
    backups,        // the safety dumps: private
    settings_file,  // connection.ini, connection.txt: private
    config_file,    // my.ini, backup.ini, a dump: readable by Users
    program_folder, // the program's own folder and its MySQL programs: changed by nobody else
};

enum class Verdict {
    trusted,   // as it should be
    protect,   // nobody else has more than they may, but the list is not the program's own
               // (inherited, or without full control for SYSTEM or Administrators): it gets its
               // own protected list, and what is inside keeps its rights
    repair,    // an administrator made it, but others may do more than they may: the list is
               // replaced (the parent folder only loses the rights that let others remove or
               // replace what is in it), and what is inside a folder is judged one by one
    set_aside, // somebody else made it, or may still change it or its rights: renamed and never
               // used, since a handle opened before a take-over would outlive it
};

// `administrator_user` is the SID text that counts as an administrator besides the accounts of
// is_administrator_account (see administrator_user()), or empty.
Verdict judge(Place place, const FileSecurity& found, std::string_view administrator_user);

// Whether the owner (a SID text or its SDDL short form) is an administrator.
bool made_by_administrator(std::string_view owner, std::string_view administrator_user);

// The parent folder's list without delete-child, WRITE_DAC and WRITE_OWNER for anyone but
// administrators, as SDDL of a protected list; nothing when the list cannot be read.
std::optional<std::string> repaired_parent_list(std::string_view access,
                                                std::string_view administrator_user);

// The descriptor a place gets when it is made or repaired.
std::string_view descriptor_of(Place place);
