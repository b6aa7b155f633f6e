#include "wine_tray.h"

#include "harness.h"

#include "base/text.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace e2e {

namespace {

constexpr DWORD message_limit_ms = 2000;
constexpr std::size_t text_units = 1100; // tooltips copy up to 1024 units

std::wstring class_of(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// A block of memory in another process, for messages whose parameters point at memory.
class RemoteBlock {
  public:
    RemoteBlock(HWND window, std::size_t bytes) : bytes_(bytes) {
        DWORD process_id = 0;
        GetWindowThreadProcessId(window, &process_id);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                               process_id);
        if (process_)
            base_ = static_cast<char*>(
                VirtualAllocEx(process_, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    ~RemoteBlock() {
        if (base_) VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    bool valid() const { return base_ != nullptr; }
    char* at(std::size_t offset) const { return base_ + offset; }
    bool write(std::size_t offset, const void* data, std::size_t size) const {
        return WriteProcessMemory(process_, base_ + offset, data, size, nullptr);
    }
    bool read(std::size_t offset, void* data, std::size_t size) const {
        return ReadProcessMemory(process_, base_ + offset, data, size, nullptr);
    }

  private:
    std::size_t bytes_;
    HANDLE process_ = nullptr;
    char* base_ = nullptr;
};

// The text of the tool that stands for `icon` in a tooltip or balloon control.
std::optional<std::string> tool_text(HWND control, HWND icon) {
    const std::size_t text_offset = 512;
    RemoteBlock block(control, text_offset + text_units * sizeof(wchar_t));
    if (!block.valid()) return std::nullopt;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = icon;
    tool.uId = reinterpret_cast<UINT_PTR>(icon);
    tool.lpszText = reinterpret_cast<wchar_t*>(block.at(text_offset));
    // A control without this tool leaves the buffer alone: the mark tells it from an empty text.
    const wchar_t not_found = L'\x1';
    if (!block.write(0, &tool, sizeof tool) ||
        !block.write(text_offset, &not_found, sizeof not_found))
        return std::nullopt;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(control, TTM_GETTEXTW, text_units,
                             reinterpret_cast<LPARAM>(block.at(0)), SMTO_ABORTIFHUNG,
                             message_limit_ms, &result))
        return std::nullopt;
    std::wstring text(text_units, L'\0');
    if (!block.read(text_offset, text.data(), text.size() * sizeof(wchar_t))) return std::nullopt;
    if (text[0] == not_found) return std::nullopt;
    text.resize(wcsnlen(text.c_str(), text.size()));
    return narrow(text);
}

// The tooltip controls of the tray's icons: popups owned by the tray window (an icon window is a
// child, so the tray window stands in for it as owner).
std::vector<HWND> controls_owned_by(HWND icon) {
    struct Search {
        HWND owner;
        std::vector<HWND> found;
    } search{GetAncestor(icon, GA_ROOT), {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (GetWindow(window, GW_OWNER) == s->owner && class_of(window) == TOOLTIPS_CLASSW)
                s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool is_balloon(HWND control) {
    return (GetWindowLongW(control, GWL_STYLE) & TTS_BALLOON) != 0;
}

} // namespace

HWND wine_tray_window() {
    return FindWindowW(L"__winex11_standalone_tray", nullptr);
}

std::vector<HWND> wine_tray_icons() {
    std::vector<HWND> icons;
    HWND tray = wine_tray_window();
    if (!tray) return icons;
    for (HWND child = GetWindow(tray, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (class_of(child) == L"__winex11_tray_icon" && IsWindowVisible(child))
            icons.push_back(child);
    std::sort(icons.begin(), icons.end(), [](HWND a, HWND b) {
        RECT ra{}, rb{};
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.left < rb.left;
    });
    return icons;
}

std::optional<HWND> single_tray_icon() {
    auto icons = wine_tray_icons();
    if (icons.size() != 1) return std::nullopt;
    return icons.front();
}

std::optional<std::string> tooltip_of(HWND icon) {
    for (HWND control : controls_owned_by(icon)) {
        if (is_balloon(control)) continue;
        if (auto text = tool_text(control, icon)) return text;
    }
    return std::nullopt;
}

std::optional<BalloonSeen> balloon_of(HWND icon) {
    for (HWND control : controls_owned_by(icon)) {
        if (!is_balloon(control) || !IsWindowVisible(control)) continue;
        auto text = tool_text(control, icon);
        if (!text) continue;
        BalloonSeen seen;
        seen.text = *text;
        GetWindowRect(control, &seen.area);
        int red = 0, blue = 0;
        for (DWORD pixel : screen_pixels(seen.area)) {
            const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
            if (r > g + 60 && r > b + 60) ++red;
            if (b > r + 60) ++blue;
        }
        constexpr int symbol_pixels = 40;
        seen.error_symbol = red > symbol_pixels && red > blue;
        seen.information_symbol = blue > symbol_pixels && blue > red;
        return seen;
    }
    return std::nullopt;
}

DotSeen dot_of(HWND icon) {
    RECT area{};
    if (!GetWindowRect(icon, &area)) return DotSeen::none;
    int grey = 0, red = 0, amber = 0;
    for (DWORD pixel : screen_pixels(area)) {
        const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
        if (r > 180 && g < 90 && b < 110)
            ++red;
        else if (r > 200 && g > 120 && g < 200 && b < 90)
            ++amber;
        else if (r > 120 && r < 180 && std::abs(r - g) < 12 && std::abs(r - b) < 12)
            ++grey;
    }
    // The scaled dot covers about a dozen pixels of the 16-pixel picture.
    constexpr int dot_pixels = 6;
    const int most = std::max({grey, red, amber});
    if (most < dot_pixels) return DotSeen::none;
    if (most == red) return DotSeen::red;
    if (most == amber) return DotSeen::amber;
    return DotSeen::grey;
}

const char* dot_name(DotSeen dot) {
    switch (dot) {
    case DotSeen::grey:
        return "grey";
    case DotSeen::red:
        return "red";
    case DotSeen::amber:
        return "amber";
    case DotSeen::none:
        break;
    }
    return "none";
}

} // namespace e2e
