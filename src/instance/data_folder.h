#pragma once
// The data folder (ProgramData\KELTA Retail\MySQL) as the administrators' own: the server runs as
// LocalSystem from the configuration there, and install adopts the passwords found there, so
// nothing an ordinary user could create or change in it may be used.
#include "base/handles.h"
#include "base/result.h"

#include <cstdint>
#include <string>

// Whether the data directory is a server's data that install keeps: its initialization finished
// (the marker), or it holds its "mysql" folder from before the marker with no init file of an
// initialization that was cut off beside it.
bool data_dir_initialized();

// Makes the data root and its parent folder where they are missing, owned by the Administrators
// group with their access lists from the start. Existing folders are left as they are.
Result<void> make_data_root();

// The parent folder and the data root made where missing, then judged as they are (never
// judged first and made after: a folder somebody else made in between would pass):
// - a link where either belongs is an error;
// - one that somebody other than an administrator made, or whose rights others may change, is
//   set aside (renamed with ".untrusted-" and the local time, private, named in tray.log) and
//   made afresh, unless the database lies inside it: then nothing changes and this fails;
// - ordinary users' rights to delete, or to change rights, in the parent folder are taken away.
// Run before the operation lock (which lies in the data root) and again by secure_data_root.
Result<void> prepare_data_root();

// Run by every elevated operation before it reads or writes in the data root, after
// prepare_data_root:
// - connection.ini, connection.ini.new, connection.txt, my.ini, backup.ini and the automatic
//   backup's list of dumps (what it may delete), `data` and `backups` that somebody else made, or
//   that others may change (a file also when it has a second name or is a link), are set aside;
//   a `data` that holds a database is never replaced: that is an error;
// - what is left gets its protected list where it is not so yet; a folder whose list let others
//   add to it has everything inside judged the same way (a link inside is removed, never
//   followed);
// - a settings file set aside while a data directory exists and no trusted connection.ini is left
//   is an error: the root password of that server is unknown, and nothing may touch its data.
Result<void> secure_data_root();

// Whether an open file (READ_CONTROL and FILE_READ_ATTRIBUTES) is the administrators' own: not a
// link, one name only, made by an administrator, and nobody else may change it or its rights. Who
// may read it does not matter here. The error reads "<path>: <why not>".
Result<void> check_trusted_file(HANDLE file, const std::string& path);

// The file as UTF-8 text, read through the handle that was checked, only when it is the
// administrators' own (check_trusted_file) and no larger than `most` bytes. Errors read
// "<path>: <reason>".
Result<std::string> read_trusted_text(const std::string& path, std::uint64_t most);
