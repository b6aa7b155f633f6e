#include "ui/folder_dialog.h"

#include "base/text.h"

#include <objbase.h>
#include <memory>
#include <shlobj.h>

namespace {

// Opens the tree at the folder given as lParam of the browse information.
int CALLBACK on_browse_event(HWND dialog, UINT message, LPARAM, LPARAM initial) {
    if (message == BFFM_INITIALIZED && initial != 0)
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, initial);
    return 0;
}

struct ItemListFreer {
    void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};

} // namespace

std::optional<std::string> folder_dialog(HWND owner, std::string_view title,
                                         const std::string& initial) {
    // The dialog with the edit box and the "Make New Folder" button needs COM on this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring heading = widen(title);
    const std::wstring start = widen(initial);
    BROWSEINFOW browse{.hwndOwner = owner,
                       .lpszTitle = heading.c_str(),
                       .ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_EDITBOX,
                       .lpfn = on_browse_event,
                       .lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str())};
    std::unique_ptr<ITEMIDLIST, ItemListFreer> chosen(SHBrowseForFolderW(&browse));
    std::optional<std::string> path;
    wchar_t buffer[MAX_PATH] = {};
    if (chosen && SHGetPathFromIDListW(chosen.get(), buffer)) path = narrow(buffer);
    chosen.reset();
    if (SUCCEEDED(com)) CoUninitialize();
    return path;
}
