#include "base/fatal.h"

#include "base/text.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {
constexpr UINT fatal_exit_code = 3;
} // namespace

void end_process_now(std::string_view reason) {
    OutputDebugStringW(widen("KELTA Retail MySQL: " + std::string(reason) + "\n").c_str());
    TerminateProcess(GetCurrentProcess(), fatal_exit_code);
    std::abort(); // TerminateProcess on the own process does not return
}
