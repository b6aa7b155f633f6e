#include "ui/theme.h"

#include "base/registry.h"
#include "base/system_library.h"

#include <dwmapi.h>

namespace {

constexpr std::string_view personalize_key =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr std::string_view dwm_key = "Software\\Microsoft\\Windows\\DWM";
constexpr std::uint32_t accent_mask = 0xFFFFFF;
constexpr COLORREF default_accent = 0xC06700; // RGB(0, 103, 192)

// Not in mingw-w64's dwmapi.h yet.
constexpr DWORD dwm_use_immersive_dark_mode = 20;
constexpr DWORD dwm_system_backdrop_type = 38;
constexpr DWORD backdrop_main_window = 2;
constexpr int preferred_mode_allow_dark = 1;

using AllowDarkModeForWindow = bool(WINAPI*)(HWND, bool);
using SetPreferredAppMode = int(WINAPI*)(int);
using FlushMenuThemes = void(WINAPI*)();

template <class Function> Function uxtheme_export(WORD ordinal) {
    return reinterpret_cast<Function>(uxtheme_function(ordinal));
}

} // namespace

FARPROC uxtheme_function(WORD ordinal) {
    // A function-local static is initialised once even when threads race to the first call.
    static const HMODULE uxtheme = system_module(L"uxtheme.dll");
    if (!uxtheme) return nullptr;
    return GetProcAddress(uxtheme, MAKEINTRESOURCEA(ordinal));
}

void apply_app_dark_mode() {
    if (auto set_mode = uxtheme_export<SetPreferredAppMode>(uxtheme_set_preferred_app_mode))
        set_mode(preferred_mode_allow_dark);
    if (auto flush = uxtheme_export<FlushMenuThemes>(uxtheme_flush_menu_themes)) flush();
}

void allow_window_dark_mode(HWND window, bool dark) {
    if (auto allow = uxtheme_export<AllowDarkModeForWindow>(uxtheme_allow_dark_mode_for_window))
        allow(window, dark);
}

std::optional<std::uint32_t> read_user_dword(std::string_view subkey, std::string_view name) {
    return read_dword(HKEY_CURRENT_USER, subkey, name);
}

bool is_dark_theme() {
    return read_user_dword(personalize_key, "AppsUseLightTheme") == 0u;
}

COLORREF accent_color() {
    auto accent = read_user_dword(dwm_key, "AccentColor");
    return accent ? (*accent & accent_mask) : default_accent;
}

void set_window_dark(HWND window, bool dark) {
    BOOL immersive_dark = dark ? TRUE : FALSE;
    DwmSetWindowAttribute(window, dwm_use_immersive_dark_mode, &immersive_dark,
                          sizeof immersive_dark);
    DWORD backdrop = backdrop_main_window;
    DwmSetWindowAttribute(window, dwm_system_backdrop_type, &backdrop, sizeof backdrop);
}
