#include "svc/child.h"

#include "base/cmdline.h"
#include "base/handles.h"
#include "base/text.h"

#include <windows.h>

#include <thread>

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

Result<unsigned long> wait_for_exit(HANDLE process) {
    if (WaitForSingleObject(process, INFINITE) == WAIT_FAILED) return fail(last_error_text());
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code)) return fail(last_error_text());
    return code;
}

} // namespace

std::string exit_code_text(unsigned long code) {
    return "exit code Some(" + std::to_string(static_cast<long>(static_cast<int>(code))) + ")";
}

Result<void> run_hidden(const std::string& program, const std::vector<std::string>& arguments) {
    std::wstring line = command_line_of({program, arguments, {}});
    STARTUPINFOW startup{.cb = sizeof startup};
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &info))
        return fail(last_error_text());
    UniqueHandle process(info.hProcess), thread(info.hThread);
    auto code = wait_for_exit(process.get());
    if (!code) return fail(code.error());
    if (*code != 0) return fail(exit_code_text(*code));
    return {};
}

Result<ChildOutcome> run_captured(const ChildProcess& child, const ChildInput& input,
                                  bool capture_output) {
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
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr,
                        &startup, &info))
        return fail(last_error_text());
    UniqueHandle process(info.hProcess), thread(info.hThread);

    // Our copies of the child's ends must go, or the reads below never see the end of the pipe.
    if (in_pipe) in_pipe->read.reset();
    if (out_pipe) out_pipe->write.reset();
    err_pipe->write.reset();
    file_in.reset();

    ChildOutcome outcome;
    std::jthread error_reader([&] { drain(err_pipe->read.get(), outcome.error); });
    std::jthread output_reader;
    if (out_pipe) output_reader = std::jthread([&] { drain(out_pipe->read.get(), outcome.output); });

    if (in_pipe) {
        std::string_view rest = *input.text;
        while (!rest.empty()) {
            DWORD written = 0;
            DWORD chunk = static_cast<DWORD>(std::min<size_t>(rest.size(), 1u << 20));
            if (!WriteFile(in_pipe->write.get(), rest.data(), chunk, &written, nullptr)) {
                // The child is not waited for, but the readers are joined on the way out: the
                // child must see the end of its input first, or it and they wait for ever.
                std::string failure = last_error_text();
                in_pipe->write.reset();
                return fail(failure);
            }
            rest.remove_prefix(written);
        }
        in_pipe->write.reset();
    }

    auto code = wait_for_exit(process.get());
    error_reader.join();
    if (output_reader.joinable()) output_reader.join();
    if (!code) return fail(code.error());
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
