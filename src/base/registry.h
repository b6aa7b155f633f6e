#pragma once
// Small readers and writers of registry values. Readers treat every failure (no key, no value,
// another type, a text too long for its buffer) as "not there"; writers give the Win32 code.
#include "base/handles.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The key of this program's per-user values ("Language", "LastBackup") under HKEY_CURRENT_USER.
inline constexpr std::string_view program_key = "Software\\Vantrelo\\KELTA Retail MySQL";

std::optional<std::uint32_t> read_dword(HKEY root, std::string_view subkey, std::string_view name);

// A REG_SZ read into a buffer of `buffer_units` UTF-16 units, terminating NUL included; the
// text ends at its first NUL. Invalid UTF-16 becomes U+FFFD.
std::optional<std::string> read_string(HKEY root, std::string_view subkey, std::string_view name,
                                       std::size_t buffer_units);

// Whether the value exists as a REG_SZ; its content is not read.
bool string_value_exists(HKEY root, std::string_view subkey, std::string_view name);

// Opens the key for setting values, creating it when missing; an invalid owner on failure.
UniqueKey create_key_for_values(HKEY root, std::string_view subkey);

// Writes a REG_SZ with its terminating NUL; gives ERROR_SUCCESS or the Win32 code.
unsigned long write_string(HKEY key, std::string_view name, std::string_view text);

// Removes a value; gives ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when it was not there, or the code.
unsigned long delete_value(HKEY key, std::string_view name);

// "registry error " and the Win32 code as an unsigned decimal number.
std::string registry_error_text(unsigned long code);
