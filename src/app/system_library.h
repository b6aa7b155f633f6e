#pragma once
// Functions of system DLLs that only some processes need, loaded on first use and only from the
// system folder. Importing them would load them into every process, the tray included, and under
// Wine the Unix libraries behind them too (printing behind the file dialogs, TLS behind the
// random generator): megabytes the tray would carry all day for nothing.
#include <windows.h>

// The function, or nullptr when the DLL or the function is missing. The DLL stays loaded.
template <class Function> Function* system_function(const wchar_t* library, const char* name) {
    const HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module ? reinterpret_cast<Function*>(GetProcAddress(module, name)) : nullptr;
}
