#include "base/child.h"

#include "base/cmdline.h"
#include "base/handles.h"
#include "base/text.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <thread>
#include <vector>

namespace {

std::wstring command_line_of(const ChildProcess& child) {
    std::string line = quote_argument(child.program);
    for (const auto& argument : child.arguments) line += ' ' + quote_argument(argument);
    return widen(line);
}

// The inherited environment with the extra variables replacing any of the same name.
std::wstring environment_block(const std::vector<std::pair<std::string, std::string>>& extra) {
    std::wstring block;
    if (wchar_t* current = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = current; *entry; entry += wcslen(entry) + 1) {
            std::wstring_view text(entry);
            bool replaced = false;
            for (const auto& [name, value] : extra) {
                std::wstring prefix = widen(name) + L"=";
                if (text.size() >= prefix.size() &&
                    CompareStringOrdinal(text.data(), static_cast<int>(prefix.size()), prefix.data(),
                                         static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL)
                    replaced = true;
            }
            if (!replaced) block.append(text).push_back(L'\0');
        }
        FreeEnvironmentStringsW(current);
    }
    for (const auto& [name, value] : extra) block.append(widen(name + "=" + value)).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

struct Pipe {
    UniqueHandle read;
    UniqueHandle write;
};

// A pipe whose end for the child is inheritable and whose end for us is not.
Result<Pipe> make_pipe(bool child_reads) {
    SECURITY_ATTRIBUTES inherit{.nLength = sizeof inherit, .lpSecurityDescriptor = nullptr,
                                .bInheritHandle = TRUE};
    Pipe pipe;
    if (!CreatePipe(pipe.read.put(), pipe.write.put(), &inherit, 0)) return fail(last_error_text());
    HANDLE ours = child_reads ? pipe.write.get() : pipe.read.get();
    SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
    return pipe;
}

void drain(HANDLE pipe, std::string& sink) {
    char buffer[16384];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) sink.append(buffer, got);
}

using Limit = std::optional<std::chrono::seconds>;

// How long an ended child may take to be gone, so that its pipes and files are let go.
constexpr DWORD end_wait_ms = 10000;

// C:\Windows\System32\netsh.exe is netsh.
std::string_view program_name(std::string_view program) {
    program.remove_prefix(program.find_last_of("\\/") + 1); // npos + 1 == 0
    if (program.size() > 4 && _strnicmp(program.data() + program.size() - 4, ".exe", 4) == 0)
        program.remove_suffix(4);
    return program;
}

Result<unsigned long> wait_for_exit(HANDLE process, std::string_view program, Limit limit) {
    const DWORD timeout =
        limit ? static_cast<DWORD>(std::chrono::milliseconds(*limit).count()) : INFINITE;
    const DWORD waited = WaitForSingleObject(process, timeout);
    if (waited == WAIT_FAILED) return fail(last_error_text());
    if (waited == WAIT_TIMEOUT) {
        // Ended rather than abandoned: a hung tool or client would otherwise keep holding what
        // it holds (the server's data directory, a pipe, a file) after the operation failed.
        TerminateProcess(process, ERROR_TIMEOUT);
        WaitForSingleObject(process, end_wait_ms);
        return fail(overrun_text(program_name(program), *limit));
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code)) return fail(last_error_text());
    return code;
}

// The child's exit code once it ends, or the watch's reason once the watch finds it stalled: then
// it is ended as an overrun child is.
Result<unsigned long> wait_watched(HANDLE process, const ChildWatch& watch) {
    for (;;) {
        const DWORD waited = WaitForSingleObject(process, static_cast<DWORD>(watch.every.count()));
        if (waited == WAIT_FAILED) return fail(last_error_text());
        if (waited == WAIT_OBJECT_0) break;
        if (watch.stalled()) {
            TerminateProcess(process, ERROR_TIMEOUT);
            WaitForSingleObject(process, end_wait_ms);
            return fail(watch.reason);
        }
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code)) return fail(last_error_text());
    return code;
}

// Writes the whole text into the pipe; a child that does not read blocks only this thread,
// which ends once the child has gone and its end of the pipe with it.
std::string write_all(HANDLE pipe, std::string_view rest) {
    while (!rest.empty()) {
        DWORD written = 0;
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(rest.size(), 1u << 20));
        if (!WriteFile(pipe, rest.data(), chunk, &written, nullptr)) return last_error_text();
        rest.remove_prefix(written);
    }
    return {};
}

// Every child runs in a job of this process that ends it when this process ends, however that
// happens: a --restore, a --backup or a Setup window that is killed must not leave a client
// writing into the database after the operation lock has gone with the process.
struct ChildrenJob {
    UniqueHandle job;
    std::string error;
};

ChildrenJob make_children_job() {
    ChildrenJob made{.job = UniqueHandle(CreateJobObjectW(nullptr, nullptr))};
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!made.job || !SetInformationJobObject(made.job.get(), JobObjectExtendedLimitInformation,
                                              &limits, sizeof limits))
        made.error =
            "cannot make the job that ends child programs with this one: " + last_error_text();
    return made;
}

// The handle is never closed before the process ends: closing it would end every child.
const ChildrenJob& children_job() {
    static const ChildrenJob job = make_children_job();
    return job;
}

// The attribute list of a CreateProcessW call, deleted when it goes.
struct ChildAttributes {
    std::vector<std::byte> storage;
    LPPROC_THREAD_ATTRIBUTE_LIST list = nullptr;
    explicit ChildAttributes(DWORD count) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, count, 0, &size);
        storage.resize(size);
        auto* made = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
        if (InitializeProcThreadAttributeList(made, count, 0, &size)) list = made;
    }
    ~ChildAttributes() {
        if (list) DeleteProcThreadAttributeList(list);
    }
    ChildAttributes(const ChildAttributes&) = delete;
    ChildAttributes& operator=(const ChildAttributes&) = delete;
};

// The child is in the job from its first instant: one made first and put in the job after would
// outlive this process, suspended for good, were this one ended in between. It inherits only its
// own standard handles, never the pipes of a child another thread is starting at the same time
// (which would then never see the end of its output).
Result<void> start_child(std::wstring& line, bool inherit_handles, DWORD flags, void* environment,
                         const STARTUPINFOW& startup, PROCESS_INFORMATION& info) {
    const ChildrenJob& job = children_job();
    if (!job.error.empty()) return fail(job.error);
    std::vector<HANDLE> inherited;
    if (inherit_handles)
        for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
            if (handle && std::ranges::find(inherited, handle) == inherited.end())
                inherited.push_back(handle);
    ChildAttributes attributes(inherited.empty() ? 1 : 2);
    HANDLE job_handle = job.job.get();
    if (!attributes.list ||
        !UpdateProcThreadAttribute(attributes.list, 0, PROC_THREAD_ATTRIBUTE_JOB_LIST, &job_handle,
                                   sizeof job_handle, nullptr, nullptr) ||
        (!inherited.empty() &&
         !UpdateProcThreadAttribute(attributes.list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                    inherited.data(), inherited.size() * sizeof(HANDLE), nullptr,
                                    nullptr)))
        return fail("cannot tie a child program to this one: " + last_error_text());
    STARTUPINFOEXW extended{.StartupInfo = startup, .lpAttributeList = attributes.list};
    extended.StartupInfo.cb = sizeof extended;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, inherited.empty() ? FALSE : TRUE,
                        flags | EXTENDED_STARTUPINFO_PRESENT, environment, nullptr,
                        &extended.StartupInfo, &info))
        return fail(last_error_text());
    return {};
}

} // namespace

std::string exit_code_text(unsigned long code) {
    return "exit code Some(" + std::to_string(static_cast<long>(static_cast<int>(code))) + ")";
}

std::string overrun_text(std::string_view program, std::chrono::seconds limit) {
    return std::string(program) + " did not finish within " + std::to_string(limit.count()) + " s";
}

Result<unsigned long> run_hidden_to_exit(const std::string& program,
                                         const std::vector<std::string>& arguments,
                                         std::chrono::seconds limit) {
    std::wstring line = command_line_of({program, arguments, {}});
    STARTUPINFOW startup{.cb = sizeof startup};
    PROCESS_INFORMATION info{};
    if (auto started = start_child(line, false, CREATE_NO_WINDOW, nullptr, startup, info); !started)
        return fail(started.error());
    UniqueHandle process(info.hProcess), thread(info.hThread);
    return wait_for_exit(process.get(), program, limit);
}

std::optional<bool> tool_found(const Result<unsigned long>& exit_code) {
    if (!exit_code || *exit_code > 1) return std::nullopt;
    return *exit_code == 0;
}

Result<void> run_hidden(const std::string& program, const std::vector<std::string>& arguments,
                        std::chrono::seconds limit) {
    auto code = run_hidden_to_exit(program, arguments, limit);
    if (!code) return fail(code.error());
    if (*code != 0) return fail(exit_code_text(*code));
    return {};
}

Result<ChildOutcome> run_captured(const ChildProcess& child, const ChildInput& input,
                                  bool capture_output, Limit limit, const ChildWatch* watch) {
    SECURITY_ATTRIBUTES inherit{.nLength = sizeof inherit, .lpSecurityDescriptor = nullptr,
                                .bInheritHandle = TRUE};
    UniqueHandle null_in, null_out, file_in;
    std::optional<Pipe> in_pipe, out_pipe, err_pipe;

    HANDLE child_in = nullptr;
    if (input.text) {
        auto pipe = make_pipe(true);
        if (!pipe) return fail(pipe.error());
        in_pipe = std::move(*pipe);
        child_in = in_pipe->read.get();
    } else if (input.file) {
        if (!DuplicateHandle(GetCurrentProcess(), input.file, GetCurrentProcess(), file_in.put(), 0,
                             TRUE, DUPLICATE_SAME_ACCESS))
            return fail(last_error_text());
        child_in = file_in.get();
    } else {
        null_in.reset(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                  OPEN_EXISTING, 0, nullptr));
        child_in = null_in.get();
    }

    HANDLE child_out = nullptr;
    if (capture_output) {
        auto pipe = make_pipe(false);
        if (!pipe) return fail(pipe.error());
        out_pipe = std::move(*pipe);
        child_out = out_pipe->write.get();
    } else {
        null_out.reset(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   &inherit, OPEN_EXISTING, 0, nullptr));
        child_out = null_out.get();
    }
    auto err = make_pipe(false);
    if (!err) return fail(err.error());
    err_pipe = std::move(*err);

    std::wstring line = command_line_of(child);
    std::wstring environment = environment_block(child.extra_environment);
    STARTUPINFOW startup{.cb = sizeof startup};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = child_in;
    startup.hStdOutput = child_out;
    startup.hStdError = err_pipe->write.get();
    PROCESS_INFORMATION info{};
    if (auto started = start_child(line, true, CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT,
                                   environment.data(), startup, info);
        !started)
        return fail(started.error());
    UniqueHandle process(info.hProcess), thread(info.hThread);

    // Our copies of the child's ends must go, or the reads below never see the end of the pipe.
    if (in_pipe) in_pipe->read.reset();
    if (out_pipe) out_pipe->write.reset();
    err_pipe->write.reset();
    file_in.reset();

    ChildOutcome outcome;
    std::string write_failure;
    std::jthread error_reader([&] { drain(err_pipe->read.get(), outcome.error); });
    std::jthread output_reader;
    if (out_pipe) output_reader = std::jthread([&] { drain(out_pipe->read.get(), outcome.output); });
    // The child must see the end of its input once it is written, or it and the readers wait
    // for ever.
    std::jthread input_writer;
    if (in_pipe)
        input_writer = std::jthread([&] {
            write_failure = write_all(in_pipe->write.get(), *input.text);
            in_pipe->write.reset();
        });

    auto code = watch ? wait_watched(process.get(), *watch)
                      : wait_for_exit(process.get(), child.program, limit);
    if (input_writer.joinable()) input_writer.join();
    error_reader.join();
    if (output_reader.joinable()) output_reader.join();
    if (!code) return fail(code.error());
    if (!write_failure.empty()) return fail(write_failure);
    outcome.exit_code = *code;
    return outcome;
}

std::string stderr_summary(std::string_view bytes) {
    std::string text = lossy_utf8(bytes);
    std::vector<std::string_view> kept;
    for (auto line : split_lines(text))
        if (line.find("Using a password on the command line") == std::string_view::npos)
            kept.push_back(line);
    size_t first = kept.size() > 5 ? kept.size() - 5 : 0;
    std::string summary;
    for (size_t i = first; i < kept.size(); ++i) {
        if (i > first) summary += '\n';
        summary += kept[i];
    }
    return summary;
}
