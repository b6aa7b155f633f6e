// Stands in for mysqld.exe where a test wants an install that takes a while and then fails:
// it records each start in runs.log beside itself, waits the seconds written in delay.txt
// beside itself (default 5), and exits with 1 without creating anything.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::wstring own_folder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

std::string read_small_file(const std::wstring& path) {
    std::string content;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return content;
    char buffer[64];
    DWORD got = 0;
    if (ReadFile(file, buffer, sizeof buffer, &got, nullptr)) content.assign(buffer, got);
    CloseHandle(file);
    return content;
}

void append_line(const std::wstring& path, const std::string& line) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

} // namespace

int wmain() {
    const std::wstring folder = own_folder();
    append_line(folder + L"\\runs.log", "started\n");
    const std::string delay = read_small_file(folder + L"\\delay.txt");
    const int seconds = delay.empty() ? 5 : std::atoi(delay.c_str());
    Sleep(static_cast<DWORD>(seconds) * 1000);
    return 1;
}
