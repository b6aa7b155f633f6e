#pragma once
// The data folder (ProgramData\KELTA Retail\MySQL) as the administrators' own: the server runs as
// LocalSystem from the configuration there, and install adopts the passwords found there, so
// nothing an ordinary user could create or change in it may be used.
#include "base/result.h"

// Whether the data directory holds its "mysql" folder: a server's data that install keeps.
bool data_dir_initialized();

// Makes the data root and its parent folder where they are missing, owned by the Administrators
// group with their access lists from the start. Existing folders are left as they are.
Result<void> make_data_root();

// Run by every elevated operation before it reads or writes in the data root:
// - the parent folder, the data root, `data` and `backups` get the Administrators group as owner
//   and their protected lists where they are not so yet, with everything inside them (a link or
//   junction inside is removed, never followed); a link where the data root belongs is an error;
// - connection.ini, connection.txt, my.ini, backup.ini and the automatic backup's list of dumps
//   (what it may delete), and a `data` directory, owned by anyone but an administrator are set
//   aside (renamed with ".untrusted-" and the local time) and named in tray.log;
// - a settings file set aside while a data directory exists and no trusted connection.ini is left
//   is an error: the root password of that server is unknown, and nothing may touch its data.
// Nothing is created: with no data root yet there is nothing to check.
Result<void> secure_data_root();
