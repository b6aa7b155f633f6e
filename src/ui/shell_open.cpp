#include "ui/shell_open.h"

#include "base/text.h"

#include <windows.h>
#include <shellapi.h>

void shell_open(const std::string& file, const std::optional<std::string>& parameters) {
    const std::wstring target = widen(file);
    const std::wstring arguments = parameters ? widen(*parameters) : std::wstring();
    ShellExecuteW(nullptr, L"open", target.c_str(), parameters ? arguments.c_str() : nullptr,
                  nullptr, SW_SHOWNORMAL);
}
