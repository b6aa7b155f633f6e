#include "config/settings.h"

#include "base/fatal.h"
#include "base/system_library.h"

#include <windows.h>
#include <bcrypt.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

// URL-safe Base64: 64 symbols, so (byte AND 63) picks each one with the same chance, and none of
// them is a blank, a quote or a backslash.
constexpr std::string_view password_alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
constexpr unsigned char alphabet_mask = 63;

// No weaker generator may stand in for the system's: a predictable root password is worse than
// no installation, so the process ends here.
[[noreturn]] void random_generator_failed(NTSTATUS status) {
    end_process_now("the system random generator failed (BCryptGenRandom status " +
                    std::to_string(static_cast<unsigned long>(status)) + ")");
}

} // namespace

std::string random_password(std::size_t length) {
    if (length == 0) return {};
    std::vector<unsigned char> bytes(length);
    // A function-local static is initialised once even when threads race to the first call.
    static auto* const generate =
        system_function<decltype(BCryptGenRandom)>(L"bcrypt.dll", "BCryptGenRandom");
    if (!generate) end_process_now("the system random generator (bcrypt.dll) is missing");
    NTSTATUS status = generate(nullptr, bytes.data(), static_cast<ULONG>(length),
                               BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (!BCRYPT_SUCCESS(status)) random_generator_failed(status);
    std::string password;
    password.reserve(length);
    for (unsigned char b : bytes)
        password += password_alphabet[b & alphabet_mask];
    return password;
}
