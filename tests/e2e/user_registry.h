#pragma once
// Values under HKEY_CURRENT_USER of the bench prefix, as the tests set and read them, and a
// guard that puts a value back as it was (or removes it again) when the test ends. The tests
// that use them share the user's registry with the program, so they run one at a time.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Where the program keeps the operator's choices (language, last backup, welcome shown).
inline const std::string program_key = "Software\\Vantrelo\\KELTA Retail MySQL";
// Where Windows finds the programs to start at logon.
inline const std::string run_key = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

void set_user_string(const std::string& subkey, const std::string& name, const std::string& text);
// Raw UTF-16 units as REG_SZ data (for texts that are not valid Unicode), NUL added.
void set_user_units(const std::string& subkey, const std::string& name, const std::wstring& units);
void set_user_dword(const std::string& subkey, const std::string& name, std::uint32_t value);
void delete_user_value(const std::string& subkey, const std::string& name);

// The REG_SZ text, or nothing when the value is missing or of another type.
std::optional<std::string> user_string(const std::string& subkey, const std::string& name);

class SavedUserValue {
  public:
    SavedUserValue(std::string subkey, std::string name);
    ~SavedUserValue();
    SavedUserValue(const SavedUserValue&) = delete;
    SavedUserValue& operator=(const SavedUserValue&) = delete;

  private:
    std::string subkey_;
    std::string name_;
    bool existed_ = false;
    DWORD type_ = REG_NONE;
    std::vector<BYTE> data_;
};

} // namespace e2e
