#pragma once
// A folder the dumps go to (the automatic backup's folder and its copy_to): a dump holds the
// whole shop, and what lies in the folder may one day be restored as root.
#include "base/result.h"

#include <string>

// A folder on an NTFS drive is used only when neither it nor a folder on its way is a link, and
// an administrator made it and nobody else may change it; the error (translated) says why not.
// A FAT drive or a network share keeps no such rights: it is used, and the warning (translated,
// empty for none) says so. The folder must exist.
Result<std::string> check_dump_folder(const std::string& folder);

// The warning of check_dump_folder alone, for a dump the operator puts wherever they like.
std::string rights_warning(const std::string& folder);
