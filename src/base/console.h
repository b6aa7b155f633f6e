#pragma once
// Standard output of a windowed program, which has none unless its caller redirected it.
#include <string_view>

// Writes UTF-8 text to standard output; when there is none, to the console of the program that
// started this one (cmd, PowerShell), if it has one. False when the text went nowhere.
bool write_standard_output(std::string_view text);
