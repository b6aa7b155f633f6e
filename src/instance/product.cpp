#include "instance/product.h"

namespace {
constexpr std::string_view trailing_zero = ".0";
} // namespace

std::string display_version(std::string_view version) {
    while (version.ends_with(trailing_zero))
        version.remove_suffix(trailing_zero.size());
    return std::string(version);
}
