#pragma once
// Whether what lies in the data folder may be trusted by an elevated process: the decision alone,
// on the owner and access list as the system gives them (SID text and SDDL), without touching
// any file.
#include "base/security.h"

#include <string_view>

enum class Place {
    parent_folder, // "KELTA Retail": only who owns it matters
    data_root,     // readable by Users, changed by administrators only
    data,          // the server's data directory: private
    backups,       // the safety dumps: private
    settings_file, // connection.ini, connection.txt: private
    config_file,   // my.ini: readable by Users
};

enum class Verdict {
    trusted,   // as it should be
    protect,   // nobody else has more than they may, but the list is not the program's own
               // (inherited, or without full control for SYSTEM or Administrators): it gets its
               // own protected list, and what is inside keeps its rights
    take_over, // another owner, or others may do more than they may: the owner becomes the
               // Administrators group and the list is replaced, for a folder on everything inside
               // it too; the content is kept
    set_aside, // renamed and never read: its content came from someone who is not an administrator
};

// `administrator_user` is the SID text that counts as an administrator besides SYSTEM, the
// Administrators group and TrustedInstaller (see administrator_user()), or empty.
Verdict judge(Place place, const FileSecurity& found, std::string_view administrator_user);

// The descriptor a place gets when it is made or taken over.
std::string_view descriptor_of(Place place);
