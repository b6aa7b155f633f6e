#pragma once
// Driving a running Setup window from the outside: find it, read its controls, click them, look
// at its pixels, keep screenshots.
#include "harness.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Checks `condition` every 50 ms until it holds or `limit` has passed; gives its last answer.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::seconds(10));

// A COLORREF (0x00BBGGRR) as screen_pixels gives it (0x00RRGGBB).
DWORD screen_colour(COLORREF colour);

// Kept for people to look at: C:\kelta-test\artifacts\<name>.bmp (scripts/test turns them into
// PNG files under out/screenshots).
void save_screenshot(const std::string& name, const RECT& screen_area);

// The text of the clipboard, or nothing.
std::optional<std::string> clipboard_text();
void empty_clipboard();

// A message box of a process, left open until the test answers it.
struct OpenMessageBox {
    HWND box = nullptr;
    std::string text;
    void answer(int button) const; // IDOK, IDYES, IDNO
};
std::optional<OpenMessageBox>
wait_for_message_box(DWORD process_id, std::chrono::milliseconds limit = std::chrono::seconds(10));

// A Save or Open dialog of a process (GetSaveFileNameW, GetOpenFileNameW), left open until the
// test fills it in.
struct OpenFileDialog {
    HWND dialog = nullptr;
    std::string title;
    std::string file_name() const; // what the file-name field holds
    // Puts the path into the file-name field and presses Save or Open.
    void choose(const std::string& path) const;
    void cancel() const;
};
std::optional<OpenFileDialog>
wait_for_file_dialog(DWORD process_id, std::chrono::milliseconds limit = std::chrono::seconds(20));

// A top-level window of another program that the Setup window had the shell start (Explorer,
// Notepad).
struct ProgramWindow {
    HWND window = nullptr;
    DWORD process_id = 0;
    std::string title;
};
// The first visible top-level window whose title passes `matches`.
std::optional<ProgramWindow>
wait_for_program_window(const std::function<bool(const std::string& title)>& matches,
                        std::chrono::milliseconds limit = std::chrono::seconds(20));
// Closes the window and waits for its program to end, ending it when it does not: a program
// left running would keep the test's output open.
void close_program(const ProgramWindow& program);

// KeltaMySQL.exe --setup [page] with the test's ProgramData, and its window once it shows.
class SetupWindow {
  public:
    explicit SetupWindow(const TestFolder& folder, const std::vector<std::string>& extra = {});
    ~SetupWindow();
    SetupWindow(const SetupWindow&) = delete;
    SetupWindow& operator=(const SetupWindow&) = delete;

    HWND handle() const { return window_; }
    DWORD process_id() const { return process_.process_id(); }
    Running& process() { return process_; }

    HWND control(int id) const;
    std::string text(int id) const;
    bool visible(int id) const;
    bool enabled(int id) const;
    bool window_enabled() const;
    bool checked(int id) const;
    // The entries of a drop-down list, and the one selected (-1 for none).
    std::vector<std::string> list_items(int id) const;
    int list_selection(int id) const;
    // Chooses an entry as the operator would: selects it, then the list tells the window.
    void choose(int id, int index) const;
    // Types into a field one character at a time, as the keyboard would.
    void type(int id, const std::string& text) const;
    // Replaces a field's text as a paste would, past the field's own filter (ES_NUMBER).
    void paste(int id, const std::string& text) const;
    // The control that has the keyboard focus in the window's thread.
    HWND focus() const;
    // The window title.
    std::string title() const;

    SIZE client_size() const;
    // A control's rectangle in client coordinates.
    RECT control_rect(int id) const;
    // Pixels of the screen inside the client area, in client coordinates (0x00RRGGBB).
    DWORD pixel(int x, int y) const;
    std::vector<DWORD> pixels(const RECT& client_area) const;
    // How many pixels of the area satisfy `test`.
    int count_pixels(const RECT& client_area, const std::function<bool(DWORD)>& test) const;

    // A button (BM_CLICK) or a label (STN_CLICKED, as the label tells the window), posted.
    void click(int id) const;
    void click_at(int x, int y) const; // left button down in the client area, posted
    // The real pointer: a posted WM_MOUSEMOVE would be undone by Wine's leave tracking, which
    // looks at where the pointer really is.
    void mouse_move_to(int x, int y) const;
    void mouse_away() const;                        // the pointer off the window
    void screenshot(const std::string& name) const; // the whole window with its frame

    // WM_CLOSE and the process's exit code.
    std::optional<unsigned long> close(std::chrono::milliseconds limit = std::chrono::seconds(10));

  private:
    Running process_;
    HWND window_ = nullptr;
};

// Colour tests for text pixels, which antialiasing blends into the background.
bool greenish(DWORD pixel);
bool reddish(DWORD pixel);
bool darkish(DWORD pixel);

} // namespace e2e
