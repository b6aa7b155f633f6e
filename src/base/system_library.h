#pragma once
// Functions of system DLLs that only some processes need, loaded on first use and only from the
// system folder. Importing them would load them into every process, the tray included, and under
// Wine the Unix libraries behind them too (printing behind the file dialogs, TLS behind the
// random generator): megabytes the tray would carry all day for nothing.
#include <windows.h>

// The DLL from the system folder, or nullptr when it is missing. It stays loaded.
inline HMODULE system_module(const wchar_t* library) {
    return LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// The function, or nullptr when the DLL or the function is missing.
template <class Function> Function* system_function(const wchar_t* library, const char* name) {
    const HMODULE module = system_module(library);
    return module ? reinterpret_cast<Function*>(GetProcAddress(module, name)) : nullptr;
}
