#include "config/legacy.h"

#include "base/text.h"
#include "instance/data_folder.h"
#include "instance/paths.h"

namespace {

constexpr std::string_view password_label = "Password: ";
constexpr std::string_view root_marker = "root / ";
constexpr std::uint64_t largest_legacy_file = 65536;

} // namespace

ConnectionSettings parse_legacy_settings(std::string_view text) {
    ConnectionSettings settings = default_settings();
    for (std::string_view line : split_lines(text)) {
        // Unlike connection.ini, an empty remainder counts: the old file said so explicitly.
        if (line.starts_with(password_label))
            settings.password = trim(line.substr(password_label.size()));
        if (size_t at = line.find(root_marker); at != std::string_view::npos)
            settings.root_password = trim(line.substr(at + root_marker.size()));
    }
    return settings;
}

std::optional<ConnectionSettings> import_legacy_file() {
    // Only the administrators' own: a file anybody else made would choose the root password.
    auto text = read_trusted_text(legacy_settings_path(), largest_legacy_file);
    if (!text) return std::nullopt;
    return parse_legacy_settings(*text);
}
