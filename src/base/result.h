#pragma once
// Every operation returns a value or one error text meant for the operator.
#include <expected>
#include <string>

template <class T = void> using Result = std::expected<T, std::string>;

[[nodiscard]] inline std::unexpected<std::string> fail(std::string text) {
    return std::unexpected<std::string>(std::move(text));
}

// The error text, or the empty text on success.
template <class T> std::string error_text(const Result<T>& result) {
    return result ? std::string() : result.error();
}
