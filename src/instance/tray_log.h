#pragma once
// tray.log in the data root: the failed modes (for installers and the Task Scheduler, where a
// message box may reach nobody) and what the program set aside or removed there.
#include <string_view>

// Appends "<timestamp> <entry>\n"; never fails towards its caller. With `may_create` (an elevated
// process) the data root and the file are made when missing, owned by the Administrators group;
// otherwise the entry only goes into a file that is already there and open to this process.
void append_tray_log(std::string_view entry, bool may_create);
