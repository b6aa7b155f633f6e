#pragma once
// The program's own folder: an elevated process that registers the LocalSystem service or the
// SYSTEM tasks on the programs there, or starts them with the root password, runs whatever lies
// there with those rights. A copy of the program in a folder that somebody else may change,
// with MySQL programs of their own beside it, would get one ordinary-looking elevation prompt.
#include "base/result.h"

// The program's folder, its MySQL folder and that folder's bin, where they exist, are made by
// an administrator and may be changed by nobody else (as under Program Files). Otherwise fails
// with "KELTA Retail MySQL must run from a folder that only administrators can change:
// <folder>" (translated), naming the first folder that is not so.
Result<void> check_program_folder();
