#include "config/access.h"

#include "base/child.h"
#include "instance/paths.h"

Result<void> restrict_file_access(const std::string& path) {
    // Accounts by security identifier, not by name: the names are translated on non-English
    // Windows ("Administratoren", "Administrateurs").
    return run_hidden(system_tool_path("icacls"),
                      {path, "/inheritance:r", "/grant:r", "*S-1-5-18:F", "*S-1-5-32-544:F"});
}
