#include "base/registry.h"

#include "base/text.h"

#include <cwchar>
#include <vector>

std::optional<std::uint32_t> read_dword(HKEY root, std::string_view subkey, std::string_view name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    LSTATUS status = RegGetValueW(root, widen(subkey).c_str(), widen(name).c_str(),
                                  RRF_RT_REG_DWORD, nullptr, &value, &size);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return value;
}

std::optional<std::string> read_string(HKEY root, std::string_view subkey, std::string_view name,
                                       std::size_t buffer_units) {
    std::vector<wchar_t> buffer(buffer_units, L'\0');
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    LSTATUS status = RegGetValueW(root, widen(subkey).c_str(), widen(name).c_str(), RRF_RT_REG_SZ,
                                  nullptr, buffer.data(), &size);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return narrow(std::wstring_view(buffer.data(), wcsnlen(buffer.data(), buffer.size())));
}

bool string_value_exists(HKEY root, std::string_view subkey, std::string_view name) {
    return RegGetValueW(root, widen(subkey).c_str(), widen(name).c_str(), RRF_RT_REG_SZ, nullptr,
                        nullptr, nullptr) == ERROR_SUCCESS;
}

UniqueKey create_key_for_values(HKEY root, std::string_view subkey) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(root, widen(subkey).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                     nullptr, &key, nullptr);
    return status == ERROR_SUCCESS ? UniqueKey(key) : UniqueKey();
}

unsigned long write_string(HKEY key, std::string_view name, std::string_view text) {
    std::wstring data = widen(text);
    DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, widen(name).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()), bytes);
}

unsigned long delete_value(HKEY key, std::string_view name) {
    return RegDeleteValueW(key, widen(name).c_str());
}

std::string registry_error_text(unsigned long code) {
    return "registry error " + std::to_string(code);
}
