#include "ui/clipboard.h"

#include "base/text.h"

#include <cstring>
#include <string>

namespace {

std::string call_failed(std::string_view call) {
    return std::string(call) + ": " + last_error_text();
}

// Open from OpenClipboard until the end of the scope.
struct OpenClipboardScope {
    ~OpenClipboardScope() { CloseClipboard(); }
};

// Memory the clipboard takes over once SetClipboardData succeeds; freed here otherwise.
struct ClipboardMemory {
    HGLOBAL memory = nullptr;
    ~ClipboardMemory() {
        if (memory) GlobalFree(memory);
    }
};

} // namespace

Result<void> copy_to_clipboard(HWND owner, std::string_view text) {
    const std::wstring units = widen(text);
    const size_t bytes = (units.size() + 1) * sizeof(wchar_t);
    ClipboardMemory block{GlobalAlloc(GMEM_MOVEABLE, bytes)};
    if (!block.memory) return fail(call_failed("GlobalAlloc"));
    void* target = GlobalLock(block.memory);
    if (!target) return fail(call_failed("GlobalLock"));
    std::memcpy(target, units.c_str(), bytes);
    GlobalUnlock(block.memory);

    if (!OpenClipboard(owner)) return fail(call_failed("OpenClipboard"));
    OpenClipboardScope open;
    if (!EmptyClipboard()) return fail(call_failed("EmptyClipboard"));
    if (!SetClipboardData(CF_UNICODETEXT, block.memory))
        return fail(call_failed("SetClipboardData"));
    block.memory = nullptr;
    return {};
}
