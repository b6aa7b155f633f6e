#pragma once
// Can a register log in? mysql.exe logs in over TCP as the application account, at the address
// the registers are told, and runs SELECT 1 in the application database; the answer is in plain
// words.
#include "base/result.h"

#include <string>
#include <string_view>

// The success text with the time the login took, or the reason it fails as the error.
Result<std::string> check_connection();

// The number of the client's "ERROR 1045 (28000): ..." line, or 0.
int client_error_number(std::string_view error_output);
