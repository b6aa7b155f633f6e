#include "setup_window.h"

#include "base/files.h"
#include "base/text.h"

#include <gtest/gtest.h>

#include <thread>

namespace e2e {

namespace {

constexpr auto poll_interval = std::chrono::milliseconds(50);
const std::string artifacts_dir = "C:\\kelta-test\\artifacts";
constexpr wchar_t setup_class[] = L"KeltaMySqlSetupWnd";


std::string text_of(HWND window) {
    if (!window) return {};
    int n = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    n = GetWindowTextW(window, text.data(), n + 1);
    text.resize(static_cast<size_t>(std::max(n, 0)));
    return narrow(text);
}

int channel(DWORD pixel, int shift) {
    return static_cast<int>((pixel >> shift) & 0xFF);
}

// Messages to another process's controls: the string ones are carried across by Windows.
LRESULT send_to(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(control, message, wparam, lparam, SMTO_ABORTIFHUNG, 5000, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

// WM_GETTEXT: GetWindowTextW would only read the caption Windows keeps for a window of another
// process, which edit fields and drop-down lists do not use.
std::string asked_text(HWND control) {
    const LRESULT length = send_to(control, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return {};
    std::wstring units(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        send_to(control, WM_GETTEXT, units.size(), reinterpret_cast<LPARAM>(units.data()));
    units.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
    return narrow(units);
}

void set_text_of(HWND control, const std::string& text) {
    const std::wstring units = widen(text);
    send_to(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(units.c_str()));
}

// The file-name field of a common file dialog: an edit (edt1), or the edit inside the file-name
// combo box (cmb13), which Wine wraps in a ComboBoxEx32.
constexpr int file_name_edit = 0x480;
constexpr int file_name_combo = 0x47C;

HWND file_name_field(HWND dialog) {
    if (HWND edit = GetDlgItem(dialog, file_name_edit)) return edit;
    for (HWND inner = GetDlgItem(dialog, file_name_combo); inner;
         inner = FindWindowExW(inner, nullptr, nullptr, nullptr)) {
        wchar_t class_name[16] = {};
        GetClassNameW(inner, class_name, 16);
        if (_wcsicmp(class_name, L"Edit") == 0) return inner;
    }
    return nullptr;
}


struct TitleSearch {
    const std::function<bool(const std::string&)>* matches;
    HWND found = nullptr;
};

BOOL CALLBACK find_titled(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TitleSearch*>(param);
    if (!IsWindowVisible(window) || !(*search->matches)(text_of(window))) return TRUE;
    search->found = window;
    return FALSE;
}

} // namespace

std::optional<ProgramWindow>
wait_for_program_window(const std::function<bool(const std::string& title)>& matches,
                        std::chrono::milliseconds limit) {
    TitleSearch search{&matches};
    if (!eventually(
            [&] {
                EnumWindows(find_titled, reinterpret_cast<LPARAM>(&search));
                return search.found != nullptr;
            },
            limit))
        return std::nullopt;
    ProgramWindow program{search.found, 0, text_of(search.found)};
    GetWindowThreadProcessId(search.found, &program.process_id);
    return program;
}

void close_program(const ProgramWindow& program) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, program.process_id);
    PostMessageW(program.window, WM_CLOSE, 0, 0);
    if (!process) return;
    if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
}

std::string OpenFileDialog::file_name() const {
    return asked_text(file_name_field(dialog));
}

void OpenFileDialog::choose(const std::string& path) const {
    set_text_of(file_name_field(dialog), path);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

void OpenFileDialog::cancel() const {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
}

std::optional<OpenFileDialog> wait_for_file_dialog(DWORD process_id,
                                                   std::chrono::milliseconds limit) {
    HWND dialog = nullptr;
    auto is_file_dialog = [](HWND window) { return file_name_field(window) != nullptr; };
    if (!eventually([&] { return (dialog = visible_window_of(process_id, L"#32770", is_file_dialog)); },
                    limit))
        return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // it fills its lists first
    return OpenFileDialog{dialog, text_of(dialog)};
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(poll_interval);
    }
}

DWORD screen_colour(COLORREF colour) {
    return (static_cast<DWORD>(GetRValue(colour)) << 16) |
           (static_cast<DWORD>(GetGValue(colour)) << 8) | GetBValue(colour);
}

bool greenish(DWORD p) {
    int r = channel(p, 16), g = channel(p, 8), b = channel(p, 0);
    return g > r + 40 && g > b + 40;
}

bool reddish(DWORD p) {
    int r = channel(p, 16), g = channel(p, 8), b = channel(p, 0);
    return r > g + 60 && r > b + 60;
}

bool darkish(DWORD p) {
    return channel(p, 16) < 110 && channel(p, 8) < 110 && channel(p, 0) < 110;
}

void save_screenshot(const std::string& name, const RECT& area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    std::vector<DWORD> rows = screen_pixels(area);
    if (rows.empty()) return;
    // Opaque: viewers read the fourth byte of a 32-bit BMP as alpha.
    for (DWORD& p : rows)
        p |= 0xFF000000;
    // A 32-bit bottom-up BMP: the rows as screen_pixels gives them, last row first.
    BITMAPINFOHEADER info{.biSize = sizeof info,
                          .biWidth = width,
                          .biHeight = height,
                          .biPlanes = 1,
                          .biBitCount = 32,
                          .biCompression = BI_RGB};
    const DWORD image_bytes = static_cast<DWORD>(rows.size() * sizeof(DWORD));
    const DWORD header_bytes = sizeof(BITMAPFILEHEADER) + sizeof info;
    BITMAPFILEHEADER file{.bfType = 0x4D42, // "BM"
                          .bfSize = header_bytes + image_bytes,
                          .bfOffBits = header_bytes};
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    for (int y = height - 1; y >= 0; --y)
        bytes.append(reinterpret_cast<const char*>(&rows[static_cast<size_t>(y) * width]),
                     static_cast<size_t>(width) * sizeof(DWORD));
    write_file(artifacts_dir + "\\" + name + ".bmp", bytes);
}

std::optional<std::string> clipboard_text() {
    std::optional<std::string> text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* units = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = narrow(units);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void empty_clipboard() {
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    CloseClipboard();
}

std::optional<OpenMessageBox> wait_for_message_box(DWORD process_id,
                                                   std::chrono::milliseconds limit) {
    HWND box = nullptr;
    if (!eventually([&] { return (box = visible_window_of(process_id, L"#32770")) != nullptr; },
                    limit))
        return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // let it finish its layout
    // MessageBoxW puts its text in the static control 0xFFFF.
    return OpenMessageBox{box, text_of(GetDlgItem(box, 0xFFFF))};
}

void OpenMessageBox::answer(int button) const {
    PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
}

SetupWindow::SetupWindow(const TestFolder& folder, const std::vector<std::string>& extra)
    : process_([&] {
          Launch launch{{"--setup"}, {{"ProgramData", folder.program_data()}}};
          launch.arguments.insert(launch.arguments.end(), extra.begin(), extra.end());
          return launch;
      }()) {
    const DWORD id = process_.process_id();
    if (!eventually([&] { return (window_ = visible_window_of(id, setup_class)) != nullptr; },
                    std::chrono::seconds(30)))
        ADD_FAILURE() << "the Setup window did not show";
    if (!window_) return;
    // No hover highlight unless a test asks for one.
    mouse_away();
    RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

SetupWindow::~SetupWindow() {
    if (window_ && IsWindow(window_)) close(std::chrono::seconds(5));
}

HWND SetupWindow::control(int id) const {
    return GetDlgItem(window_, id);
}

// GetWindowTextW reads another process's static controls and buttons directly; edit controls and
// drop-down lists keep their text to themselves, so they are asked with WM_GETTEXT.
std::string SetupWindow::text(int id) const {
    HWND c = control(id);
    wchar_t class_name[16] = {};
    GetClassNameW(c, class_name, 16);
    if (_wcsicmp(class_name, L"Edit") != 0 && _wcsicmp(class_name, L"ComboBox") != 0)
        return text_of(c);
    return asked_text(c);
}

bool SetupWindow::checked(int id) const {
    return send_to(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::vector<std::string> SetupWindow::list_items(int id) const {
    HWND list = control(id);
    std::vector<std::string> items;
    const LRESULT count = send_to(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = send_to(list, CB_GETLBTEXTLEN, i, 0);
        std::wstring units(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        const LRESULT copied =
            send_to(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(units.data()));
        units.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
        items.push_back(narrow(units));
    }
    return items;
}

int SetupWindow::list_selection(int id) const {
    return static_cast<int>(send_to(control(id), CB_GETCURSEL, 0, 0));
}

void SetupWindow::choose(int id, int index) const {
    HWND list = control(id);
    send_to(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    PostMessageW(window_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
}

void SetupWindow::type(int id, const std::string& text) const {
    for (wchar_t unit : widen(text))
        PostMessageW(control(id), WM_CHAR, unit, 1);
}

void SetupWindow::paste(int id, const std::string& text) const {
    set_text_of(control(id), text);
}

HWND SetupWindow::focus() const {
    GUITHREADINFO info{.cbSize = sizeof info};
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

std::string SetupWindow::title() const {
    return text_of(window_);
}

bool SetupWindow::visible(int id) const {
    HWND c = control(id);
    return c && (GetWindowLongW(c, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool SetupWindow::enabled(int id) const {
    HWND c = control(id);
    return c && IsWindowEnabled(c);
}

bool SetupWindow::window_enabled() const {
    return IsWindowEnabled(window_) != FALSE;
}

SIZE SetupWindow::client_size() const {
    RECT r{};
    GetClientRect(window_, &r);
    return {r.right - r.left, r.bottom - r.top};
}

RECT SetupWindow::control_rect(int id) const {
    RECT r{};
    GetWindowRect(control(id), &r);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::vector<DWORD> SetupWindow::pixels(const RECT& client_area) const {
    RECT on_screen = client_area;
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&on_screen), 2);
    return screen_pixels(on_screen);
}

DWORD SetupWindow::pixel(int x, int y) const {
    auto one = pixels({x, y, x + 1, y + 1});
    return one.empty() ? 0xFFFFFFFF : one[0];
}

int SetupWindow::count_pixels(const RECT& client_area,
                              const std::function<bool(DWORD)>& test) const {
    int count = 0;
    for (DWORD p : pixels(client_area))
        if (test(p)) ++count;
    return count;
}

void SetupWindow::click(int id) const {
    HWND c = control(id);
    wchar_t class_name[16] = {};
    GetClassNameW(c, class_name, 16);
    if (_wcsicmp(class_name, L"Static") == 0)
        PostMessageW(window_, WM_COMMAND, MAKEWPARAM(id, STN_CLICKED), reinterpret_cast<LPARAM>(c));
    else
        PostMessageW(c, BM_CLICK, 0, 0);
}

void SetupWindow::click_at(int x, int y) const {
    PostMessageW(window_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageW(window_, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void SetupWindow::mouse_move_to(int x, int y) const {
    POINT p{x, y};
    ClientToScreen(window_, &p);
    SetCursorPos(p.x, p.y);
}

void SetupWindow::mouse_away() const {
    RECT r{};
    GetWindowRect(window_, &r);
    SetCursorPos(r.left > 0 ? 0 : r.right + 1, 0);
}

void SetupWindow::screenshot(const std::string& name) const {
    // What waits to be painted (after a page switch, a theme or language change) is painted first.
    RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT r{};
    GetWindowRect(window_, &r);
    save_screenshot(name, r);
}

std::optional<unsigned long> SetupWindow::close(std::chrono::milliseconds limit) {
    PostMessageW(window_, WM_CLOSE, 0, 0);
    auto code = process_.wait(limit);
    if (code) window_ = nullptr;
    return code;
}

} // namespace e2e
