#pragma once
// connection.txt: the earlier plain-text form that held the two passwords. It is only read
// (while connection.ini is unreadable) and removed by the next successful save, never written.
#include "config/settings.h"

#include <optional>
#include <string_view>

// The defaults with the passwords found in the text: a line starting with "Password: " gives
// the account password, the text after "root / " anywhere in a line the root password.
ConnectionSettings parse_legacy_settings(std::string_view text);

// connection.txt in the data root, parsed; nothing when it cannot be read as UTF-8.
std::optional<ConnectionSettings> import_legacy_file();
