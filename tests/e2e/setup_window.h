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

    SIZE client_size() const;
    // A control's rectangle in client coordinates.
    RECT control_rect(int id) const;
    // Pixels of the screen inside the client area, in client coordinates (0x00RRGGBB).
    DWORD pixel(int x, int y) const;
    std::vector<DWORD> pixels(const RECT& client_area) const;
    // How many pixels of the area satisfy `test`.
    int count_pixels(const RECT& client_area, const std::function<bool(DWORD)>& test) const;

    void click(int id) const;          // BM_CLICK, posted
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
