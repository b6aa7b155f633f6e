// Whether the data folder's files and folders are trusted, taken over or set aside, from their
// owner and access list as Windows gives them.
#include "svc/trust.h"

#include <gtest/gtest.h>

namespace {

const std::string user = "S-1-5-21-1111111111-2222222222-3333333333-1001"; // an ordinary user
const std::string wine_user = "S-1-5-21-0-0-0-1000"; // owner of every file under Wine
const std::string private_list = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
const std::string readable_list = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OINP;0x1200a9;;;BU)";
// What a folder made by an ordinary user under ProgramData inherits.
const std::string program_data_list = "D:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIIOID;GA;;;CO)"
                                      "(A;OICIID;0x1200a9;;;BU)(A;CIID;DCLCRPCR;;;BU)";

struct Case {
    Place place;
    std::string owner, access, administrator;
    Verdict expected;
};

TEST(Trust, OwnerAndAccessListDecide) {
    const Case cases[] = {
        {Place::settings_file, "S-1-5-32-544", "D:P(A;;FA;;;SY)(A;;FA;;;BA)", "", Verdict::trusted},
        {Place::settings_file, user, "D:P(A;;FA;;;SY)(A;;FA;;;BA)", "", Verdict::set_aside},
        {Place::settings_file, "", "D:P(A;;FA;;;SY)(A;;FA;;;BA)", "", Verdict::set_aside},
        {Place::settings_file, "SY", "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)", "",
         Verdict::take_over},
        {Place::settings_file, "BA", "not a list", "", Verdict::take_over},
        // Under Wine: the process's own administrator account owns everything, no list is
        // protected; the same owner from a process that is not such an administrator is nobody's.
        {Place::settings_file, wine_user, "D:(A;;FA;;;SY)(A;;FA;;;" + wine_user + ")", wine_user,
         Verdict::protect},
        {Place::settings_file, wine_user, private_list, "", Verdict::set_aside},
        {Place::config_file, "S-1-5-80-956008885-3418522649-1831038044-1850803191-2346987893",
         "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)", "", Verdict::trusted},
        {Place::config_file, "BA", "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FW;;;BU)", "",
         Verdict::take_over},
        {Place::config_file, user, "D:P(A;;FA;;;SY)(A;;FA;;;BA)", "", Verdict::set_aside},
        {Place::data_root, "BA", readable_list, "", Verdict::trusted},
        {Place::data_root, "BA", program_data_list, "", Verdict::take_over},
        {Place::data_root, user, readable_list, "", Verdict::take_over},
        {Place::data_root, "BA", private_list + "(A;OICIIO;GA;;;CO)", "", Verdict::take_over},
        {Place::data_root, "BA", "D:P(A;OICI;FA;;;BA)", "", Verdict::protect},
        {Place::data_root, "SY", "D:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OINPID;FR;;;BU)", "",
         Verdict::protect},
        {Place::data_root, "BA", readable_list + "(A;OICI;FA;;;" + wine_user + ")", wine_user,
         Verdict::trusted},
        {Place::data, user, private_list, "", Verdict::set_aside},
        {Place::data, "BA", readable_list, "", Verdict::take_over},
        {Place::data, "SY", private_list, "", Verdict::trusted},
        {Place::data, wine_user, "D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" + wine_user + ")", wine_user,
         Verdict::protect},
        {Place::data, wine_user, "D:(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;WD)", wine_user,
         Verdict::take_over},
        {Place::backups, user, private_list, "", Verdict::take_over},
        {Place::backups, "BA", "D:P(D;OICI;FA;;;WD)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", "",
         Verdict::trusted},
        {Place::parent_folder, user, readable_list, "", Verdict::take_over},
        {Place::parent_folder, "BA", program_data_list, "", Verdict::trusted},
    };
    for (const Case& c : cases)
        EXPECT_EQ(judge(c.place, {c.owner, c.access}, c.administrator), c.expected)
            << "owner " << c.owner << ", list " << c.access << ", place "
            << static_cast<int>(c.place);
}

TEST(Trust, WhatIsSetPassesTheCheck) {
    for (Place place : {Place::parent_folder, Place::data_root, Place::data, Place::backups,
                        Place::settings_file, Place::config_file}) {
        const std::string descriptor(descriptor_of(place));
        ASSERT_TRUE(descriptor.starts_with("O:BAD:P"));
        EXPECT_EQ(judge(place, {"BA", descriptor.substr(4)}, ""), Verdict::trusted) << descriptor;
    }
}

} // namespace
