#pragma once
// The checks settings pass before they reach my.ini, the server's accounts or connection.ini.
// Only the first failing rule is reported; the texts stay English in every interface language.
#include "base/result.h"
#include "config/addresses.h"
#include "config/settings.h"

#include <functional>
#include <string_view>
#include <vector>

// Every rule, for settings about to be saved: new values that the server could never use (a host
// that cannot log in, one of the server's own databases) are refused.
Result<void> validate_settings(const ConnectionSettings& settings);
// The rules settings already stored had to pass: a reinstall from connection.ini keeps working
// for a record saved before the host and database rules existed.
Result<void> validate_stored_settings(const ConnectionSettings& settings);

// "0.0.0.0", or a well-formed IPv4 address that a network card of this machine owns.
Result<void> check_bind_address(std::string_view bind);
// The same with the machine's addresses supplied by the caller; asked only when needed.
Result<void> check_bind_address(std::string_view bind,
                                const std::function<std::vector<Ipv4>()>& local_addresses);
