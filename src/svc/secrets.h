#pragma once
// Keeping the stored passwords out of what leaves the computer (the support file): every form
// they take in the files this program and MySQL write, found and replaced by a mask.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view password_mask = "********";

// The passwords connection.ini and a leftover connection.txt hold, read from the bytes as they
// are: a file the program itself would refuse may still hold them.
std::vector<std::string> stored_passwords();

// Every form of the passwords: as they are, escaped for an SQL string literal (with backslashes,
// and with quotes doubled) and for JSON; longest first, none empty, none twice.
std::vector<std::string> secret_forms(const std::vector<std::string>& passwords);

// Replaces every occurrence of every form by the mask; gives how many were replaced.
std::size_t redact(std::string& text, const std::vector<std::string>& forms);

// Every "key=value" line whose key ends in "password" ("-" and "_" alike, any case; a commented
// line too) keeps its key and gets the mask as value. Every other byte stays as it was.
std::string mask_password_values(std::string_view text);
