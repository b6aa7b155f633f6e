#pragma once
// Shared by the bench's stand-ins for the Windows tools netsh, schtasks and icacls and for the
// MySQL programs: where they keep their state, the log of every call, and the exit code or
// behaviour a test can ask for.
//
// Everything lives under C:\kelta-bench in the test prefix:
//   logs\<tool>.log          one line per call: the arguments separated by tabs
//   state\<tool>.txt         the tool's state, one record per line, fields separated by tabs
//   force\<tool>.exit        when present, every call exits with the number in it
//   force\<tool>.<verb>.exit the same for one verb only (netsh: add/delete/show,
//                            schtasks: create/delete/query)
//   force\<tool>.<verb>.delay seconds the tool waits before it acts: a tool that hangs
//   control\<program>.<name> a setting a test gives a MySQL stand-in (bench/README.md)
//   logs\faults.log          one line per fault a test asked for that took effect: the control
//                            (name=value), a tab, what happened
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace standin {

inline std::wstring root() { return L"C:\\kelta-bench"; }

inline std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), out.data(), n, nullptr, nullptr);
    return out;
}

inline std::wstring wide(const std::string& text) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), out.data(), n);
    return out;
}

inline void ensure_folders() {
    CreateDirectoryW(root().c_str(), nullptr);
    for (const wchar_t* sub : {L"\\logs", L"\\state", L"\\force", L"\\control"})
        CreateDirectoryW((root() + sub).c_str(), nullptr);
}

inline std::string read_all(const std::wstring& path) {
    std::string content;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) content.append(buffer, got);
    CloseHandle(file);
    return content;
}

inline void write_all(const std::wstring& path, const std::string& content, bool append) {
    HANDLE file = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              append ? OPEN_ALWAYS : CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, content.data(), (DWORD)content.size(), &written, nullptr);
    CloseHandle(file);
}

inline void log_call(const wchar_t* tool, int argc, wchar_t** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += '\t';
        line += utf8(argv[i]);
    }
    write_all(root() + L"\\logs\\" + tool + L".log", line + "\n", true);
}

// A fault that took effect, so that a test tells it from one that never came about.
inline void record_fault(const std::string& control, const std::string& what) {
    write_all(root() + L"\\logs\\faults.log", control + "\t" + what + "\n", true);
}

// The exit code forced for this call, if a test asked for one.
inline std::optional<int> forced_exit(const wchar_t* tool, const std::wstring& verb) {
    for (std::wstring name : {std::wstring(tool) + L"." + verb, std::wstring(tool)}) {
        std::string text = read_all(root() + L"\\force\\" + name + L".exit");
        if (text.empty()) continue;
        const int code = std::atoi(text.c_str());
        record_fault(utf8(name) + ".exit=" + std::to_string(code),
                     "exited with " + std::to_string(code));
        return code;
    }
    return std::nullopt;
}

// The value of a test control, white space trimmed; empty when it is not set.
inline std::string control_value(const std::wstring& name) {
    std::string text = read_all(root() + L"\\control\\" + name);
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

inline bool control_on(const std::wstring& name) {
    std::string value = control_value(name);
    return !value.empty() && value != "0";
}

// A tool that hangs: sleeps for the seconds in force\<tool>.<verb>.delay, when a test set it.
inline void delay_if_asked(const wchar_t* tool, const std::wstring& verb) {
    std::string seconds = read_all(root() + L"\\force\\" + tool + L"." + verb + L".delay");
    if (!seconds.empty()) Sleep(static_cast<DWORD>(std::atoi(seconds.c_str())) * 1000);
}

using Record = std::vector<std::string>;

inline std::vector<Record> load_state(const wchar_t* tool) {
    std::vector<Record> records;
    std::string text = read_all(root() + L"\\state\\" + tool + L".txt");
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        Record record;
        std::string line = text.substr(start, end - start);
        size_t field = 0;
        for (;;) {
            size_t tab = line.find('\t', field);
            record.push_back(line.substr(field, tab - field));
            if (tab == std::string::npos) break;
            field = tab + 1;
        }
        if (!line.empty()) records.push_back(record);
        start = end + 1;
    }
    return records;
}

inline void save_state(const wchar_t* tool, const std::vector<Record>& records) {
    std::string text;
    for (const auto& record : records) {
        for (size_t i = 0; i < record.size(); ++i) text += (i ? "\t" : "") + record[i];
        text += '\n';
    }
    write_all(root() + L"\\state\\" + tool + L".txt", text, false);
}

inline void say(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

inline bool iequals(const std::wstring& a, const wchar_t* b) { return _wcsicmp(a.c_str(), b) == 0; }

} // namespace standin
