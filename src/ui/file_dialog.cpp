#include "ui/file_dialog.h"

#include "base/system_library.h"
#include "base/text.h"
#include "i18n/tr.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace {

constexpr std::size_t file_name_units = 1024;
constexpr wchar_t default_extension[] = L"sql";
constexpr wchar_t support_file_extension[] = L"zip";

constexpr DWORD save_flags =
    OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_OVERWRITEPROMPT;
constexpr DWORD open_flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
static_assert(save_flags == 0x8080A && open_flags == 0x81808);
static_assert(sizeof(OPENFILENAMEW) == 152, "the full structure, with the Windows 2000 fields");

void append_entry(std::wstring& filter, std::string_view text) {
    filter += widen(text);
    filter += L'\0';
}

} // namespace

std::wstring file_dialog_filter() {
    std::wstring filter;
    append_entry(filter, tr("SQL backup (*.sql)", "SQL 备份 (*.sql)"));
    append_entry(filter, "*.sql");
    append_entry(filter, tr("All files (*.*)", "所有文件 (*.*)"));
    append_entry(filter, "*.*");
    filter += L'\0';
    return filter;
}

namespace {

// What a dialog asks for: its title, the file types it lists, and the extension a name without
// one gets.
struct DialogKind {
    bool save = true;
    std::wstring title;
    std::wstring filter;
    const wchar_t* extension = default_extension;
};

std::optional<std::string> show_file_dialog(HWND owner, const DialogKind& kind,
                                            std::string_view initial_name) {
    std::vector<wchar_t> file_name(file_name_units, L'\0');
    const std::wstring initial = widen(initial_name);
    // The last unit stays NUL, so that the dialog always starts from a terminated name.
    std::copy_n(initial.begin(), std::min(initial.size(), file_name_units - 1), file_name.begin());
    OPENFILENAMEW dialog{
        .lStructSize = sizeof dialog,
        .hwndOwner = owner,
        .lpstrFilter = kind.filter.c_str(),
        .lpstrFile = file_name.data(),
        .nMaxFile = static_cast<DWORD>(file_name.size()),
        .lpstrTitle = kind.title.c_str(),
        .Flags = kind.save ? save_flags : open_flags,
        .lpstrDefExt = kind.extension,
    };
    static auto* const save_dialog =
        system_function<decltype(GetSaveFileNameW)>(L"comdlg32.dll", "GetSaveFileNameW");
    static auto* const open_dialog =
        system_function<decltype(GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW");
    auto* const show = kind.save ? save_dialog : open_dialog;
    if (!show || !show(&dialog)) return std::nullopt;
    const auto end = std::ranges::find(file_name, L'\0');
    if (end == file_name.end()) return std::nullopt;
    return narrow(
        std::wstring_view(file_name.data(), static_cast<std::size_t>(end - file_name.begin())));
}

} // namespace

std::optional<std::string> file_dialog(HWND owner, bool save, std::string_view initial_name) {
    return show_file_dialog(owner,
                            {.save = save,
                             .title = widen(save ? tr("Back up database", "备份数据库")
                                                 : tr("Restore database", "恢复数据库")),
                             .filter = file_dialog_filter()},
                            initial_name);
}

std::optional<std::string> support_file_dialog(HWND owner, std::string_view initial_name) {
    std::wstring filter;
    append_entry(filter, tr("Support file (*.zip)", "技术支持文件 (*.zip)"));
    append_entry(filter, "*.zip");
    append_entry(filter, tr("All files (*.*)", "所有文件 (*.*)"));
    append_entry(filter, "*.*");
    filter += L'\0';
    return show_file_dialog(owner,
                            {.title = widen(tr("Save support file", "保存技术支持文件")),
                             .filter = std::move(filter),
                             .extension = support_file_extension},
                            initial_name);
}
