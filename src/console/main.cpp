// KeltaMySQL.com, the console companion of the windowed KeltaMySQL.exe beside it. cmd and
// PowerShell pick name.com before name.exe; they wait for a console program and hand it their
// standard handles, where a windowed program is neither waited for nor given anything to write
// to. This program only starts the windowed program of its own name with the same arguments
// and those handles, waits for it and exits with its exit code. It uses Windows alone, nothing
// of the program's library, so that it stays small and starts at once.
#include "base/cmdline.h"
#include "base/handles.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <string_view>

namespace {

// The longest command line CreateProcessW takes, with its terminating NUL.
constexpr std::size_t longest_command_line = 32768;
using Text = std::array<wchar_t, longest_command_line>;

// Appends to a NUL-terminated text; false when it does not fit.
bool append(Text& text, std::size_t& length, std::wstring_view more) {
    if (more.size() >= text.size() - length) return false;
    std::ranges::copy(more, text.data() + length);
    length += more.size();
    text[length] = L'\0';
    return true;
}

// The windowed program: this program's own path with ".exe" in place of its extension.
bool find_windowed_program(Text& path) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size()) return false;
    const std::wstring_view self(path.data(), length);
    const std::size_t name = self.find_last_of(L"\\/") + 1; // npos + 1 == 0
    std::size_t end = self.rfind(L'.');
    if (end == std::wstring_view::npos || end < name) end = length;
    path[end] = L'\0';
    return append(path, end, L".exe");
}

// An inheritable copy of one of our standard handles; none when we have none.
UniqueHandle inheritable_copy(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    UniqueHandle copy;
    if (handle && handle != INVALID_HANDLE_VALUE)
        DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), copy.put(), 0, TRUE,
                        DUPLICATE_SAME_ACCESS);
    return copy;
}

// Ctrl+C, Ctrl+Break and closing the console end this process by the console's own handling;
// the windowed program hears none of them, so it runs in a job that ends with our last handle.
UniqueHandle job_ending_with_us() {
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job && !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                        sizeof limits))
        job.reset();
    return job;
}

// "KeltaMySQL.com: cannot start <program>: <the system's reason>" on standard error.
int refuse(const wchar_t* program, DWORD error) {
    static Text message{};
    std::size_t length = 0;
    append(message, length, L"KeltaMySQL.com: cannot start ");
    append(message, length, program);
    append(message, length, L": ");
    length += FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             error, 0, message.data() + length,
                             static_cast<DWORD>(message.size() - length), nullptr);
    static std::array<char, longest_command_line * 3> bytes{};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, message.data(), static_cast<int>(length), bytes.data(),
                            static_cast<int>(bytes.size()), nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes.data(), static_cast<DWORD>(size), &written,
              nullptr);
    return 1;
}

} // namespace

int wmain() {
    static Text program{}, line{};
    if (!find_windowed_program(program)) return refuse(L"KeltaMySQL.exe", GetLastError());
    std::size_t length = 0;
    const std::wstring_view tail = command_line_tail(GetCommandLineW());
    // A path holds no double quote, so quoting it needs nothing more.
    if (!append(line, length, L"\"") || !append(line, length, program.data()) ||
        !append(line, length, L"\"") ||
        (!tail.empty() && (!append(line, length, L" ") || !append(line, length, tail))))
        return refuse(program.data(), ERROR_FILENAME_EXCED_RANGE);

    UniqueHandle input = inheritable_copy(STD_INPUT_HANDLE);
    UniqueHandle output = inheritable_copy(STD_OUTPUT_HANDLE);
    UniqueHandle error = inheritable_copy(STD_ERROR_HANDLE);
    STARTUPINFOW startup{.cb = sizeof startup,
                         .dwFlags = STARTF_USESTDHANDLES,
                         .hStdInput = input.get(),
                         .hStdOutput = output.get(),
                         .hStdError = error.get()};
    PROCESS_INFORMATION started{};
    // Suspended until it is in the job, so that nothing it starts escapes the job.
    if (!CreateProcessW(program.data(), line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &started))
        return refuse(program.data(), GetLastError());
    UniqueHandle process(started.hProcess), thread(started.hThread);
    const UniqueHandle job = job_ending_with_us();
    if (job) AssignProcessToJobObject(job.get(), process.get());
    ResumeThread(thread.get());
    input.reset();
    output.reset();
    error.reset();

    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    return static_cast<int>(code);
}
