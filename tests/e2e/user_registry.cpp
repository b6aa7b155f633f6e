#include "user_registry.h"

#include "base/text.h"

#include <gtest/gtest.h>

namespace e2e {

namespace {

void set_raw(const std::string& subkey, const std::string& name, DWORD type, const void* data,
             DWORD bytes) {
    LSTATUS status = RegSetKeyValueW(HKEY_CURRENT_USER, widen(subkey).c_str(), widen(name).c_str(),
                                     type, data, bytes);
    if (status != ERROR_SUCCESS) ADD_FAILURE() << "cannot set " << subkey << "\\" << name;
}

} // namespace

void set_user_units(const std::string& subkey, const std::string& name, const std::wstring& units) {
    set_raw(subkey, name, REG_SZ, units.c_str(),
            static_cast<DWORD>((units.size() + 1) * sizeof(wchar_t)));
}

void set_user_string(const std::string& subkey, const std::string& name, const std::string& text) {
    set_user_units(subkey, name, widen(text));
}

void set_user_dword(const std::string& subkey, const std::string& name, std::uint32_t value) {
    set_raw(subkey, name, REG_DWORD, &value, sizeof value);
}

void delete_user_value(const std::string& subkey, const std::string& name) {
    LSTATUS status =
        RegDeleteKeyValueW(HKEY_CURRENT_USER, widen(subkey).c_str(), widen(name).c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        ADD_FAILURE() << "cannot delete " << subkey << "\\" << name;
}

std::optional<std::string> user_string(const std::string& subkey, const std::string& name) {
    DWORD bytes = 0;
    std::wstring wsubkey = widen(subkey), wname = widen(name);
    if (RegGetValueW(HKEY_CURRENT_USER, wsubkey.c_str(), wname.c_str(), RRF_RT_REG_SZ, nullptr,
                     nullptr, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, wsubkey.c_str(), wname.c_str(), RRF_RT_REG_SZ, nullptr,
                     text.data(), &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    text.resize(wcsnlen(text.c_str(), text.size()));
    return narrow(text);
}

SavedUserValue::SavedUserValue(std::string subkey, std::string name)
    : subkey_(std::move(subkey)), name_(std::move(name)) {
    std::wstring wsubkey = widen(subkey_), wname = widen(name_);
    DWORD bytes = 0;
    constexpr DWORD flags = RRF_RT_ANY | RRF_NOEXPAND;
    if (RegGetValueW(HKEY_CURRENT_USER, wsubkey.c_str(), wname.c_str(), flags, &type_, nullptr,
                     &bytes) != ERROR_SUCCESS)
        return;
    data_.resize(bytes);
    existed_ = RegGetValueW(HKEY_CURRENT_USER, wsubkey.c_str(), wname.c_str(), flags, &type_,
                            data_.data(), &bytes) == ERROR_SUCCESS;
    data_.resize(bytes);
}

SavedUserValue::~SavedUserValue() {
    if (existed_)
        set_raw(subkey_, name_, type_, data_.data(), static_cast<DWORD>(data_.size()));
    else
        delete_user_value(subkey_, name_);
}

} // namespace e2e
