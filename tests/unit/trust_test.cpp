// Whether the data folder's files and folders are trusted, protected, taken over or set aside,
// from their owner and access list as Windows gives them.
#include "instance/trust.h"

#include <gtest/gtest.h>

namespace {

using enum Place;
using enum Verdict;

const std::string user = "S-1-5-21-1111111111-2222222222-3333333333-1001"; // an ordinary user
const std::string wine = "S-1-5-21-0-0-0-1000"; // the owner of every file under Wine
const std::string installer = "S-1-5-80-956008885-3418522649-1831038044-1850803191-2346987893";
// The lists the program sets (its descriptors without "O:BA").
const std::string admins_file(private_file_descriptor.substr(4));
const std::string readable_file(readable_file_descriptor.substr(4));
const std::string admins(private_folder_descriptor.substr(4));
const std::string readable(readable_folder_descriptor.substr(4));
// What a folder made by an ordinary user under ProgramData inherits.
const std::string program_data = "D:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIIOID;GA;;;CO)"
                                 "(A;OICIID;0x1200a9;;;BU)(A;CIID;DCLCRPCR;;;BU)";
// As Wine reads a folder back: never protected, its user instead of Administrators.
const std::string wine_list = "D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" + wine + ")";

struct Case {
    Place place;
    std::string owner, access, administrator;
    Verdict expected;
};

TEST(Trust, OwnerAndAccessListDecide) {
    // Under Program Files: programs made inside later are their maker's (CREATOR OWNER).
    const std::string program_files = "D:AI(A;OICIIOID;GA;;;CO)(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)"
                                      "(A;OICIID;0x1200a9;;;BU)";
    const Case cases[] = {
        {settings_file, "S-1-5-32-544", admins_file, "", trusted},
        {settings_file, user, admins_file, "", set_aside},
        {settings_file, "SY", admins_file + "(A;;FR;;;BU)", "", repair},
        {settings_file, "BA", "not a list", "", set_aside},
        {settings_file, wine, wine_list, wine, protect},
        {config_file, installer, readable_file, "", trusted},
        {config_file, "BA", admins_file + "(A;;FW;;;BU)", "", set_aside},
        {config_file, "BA", admins_file + "(A;;WD;;;BU)", "", set_aside},
        {data_root, "BA", readable, "", trusted},
        {data_root, "BA", program_data, "", repair},
        {data_root, user, readable, "", set_aside},
        {data_root, "SY", "D:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OINPID;FR;;;BU)", "",
         protect},
        {data_root, "BA", readable + "(A;OICI;FA;;;" + wine + ")", wine, trusted},
        {data, user, admins, "", set_aside},
        {data, "BA", readable, "", repair},
        {data, "BA", admins + "(A;;WO;;;BU)", "", set_aside},
        {data, "SY", admins, "", trusted},
        {data, wine, wine_list, wine, protect},
        {data, wine, wine_list + "(A;OICI;0x1200a9;;;WD)", wine, repair},
        {backups, user, admins, "", set_aside},
        {backups, "BA", "D:P(D;OICI;FA;;;WD)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", "", trusted},
        {parent_folder, user, readable, "", set_aside},
        {parent_folder, "BA", program_data, "", trusted},
        {parent_folder, "BA", program_data + "(A;;DT;;;AU)", "", repair}, // delete-child
        {program_folder, "BA", program_files, "", trusted},
        {program_folder, user, program_files, "", set_aside},
        {program_folder, "BA", program_files + "(A;OICI;0x1301bf;;;BU)", "", set_aside},
    };
    for (const Case& c : cases)
        EXPECT_EQ(judge(c.place, {c.owner, c.access}, c.administrator), c.expected)
            << "owner " << c.owner << ", list " << c.access << ", place " << int(c.place);
}

// The parent folder keeps what other programs gave, without the rights to remove or replace
// what is in it.
TEST(Trust, ParentFolderLosesOnlyTheRightsToReplace) {
    EXPECT_EQ(repaired_parent_list("D:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICI;FA;;;BU)", ""),
              "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)");
}

} // namespace
