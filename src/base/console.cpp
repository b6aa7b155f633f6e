#include "base/console.h"

#include "base/handles.h"
#include "base/text.h"

#include <windows.h>

#include <algorithm>

namespace {
constexpr std::size_t largest_write = 1 << 16;
}

bool write_standard_output(std::string_view text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    UniqueFile console;
    if (!out || out == INVALID_HANDLE_VALUE) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
        console.reset(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
        if (!console) return false;
        out = console.get();
    }
    // A console shows UTF-16 whatever its code page; a pipe or a file gets the UTF-8 bytes.
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) {
        std::wstring units = widen(text);
        std::wstring_view rest(units);
        while (!rest.empty()) {
            DWORD written = 0;
            const auto chunk = static_cast<DWORD>(std::min(rest.size(), largest_write));
            if (!WriteConsoleW(out, rest.data(), chunk, &written, nullptr) || written == 0)
                return false;
            rest.remove_prefix(written);
        }
        return true;
    }
    while (!text.empty()) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min(text.size(), largest_write));
        if (!WriteFile(out, text.data(), chunk, &written, nullptr) || written == 0) return false;
        text.remove_prefix(written);
    }
    return true;
}
