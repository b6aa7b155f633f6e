#include "svc/myini.h"

#include "base/files.h"
#include "base/text.h"
#include "instance/paths.h"
#include "svc/myini_text.h"

Result<void> write_my_ini(const std::string& basedir, const ConnectionSettings& settings) {
    const auto owned = owned_my_ini_options(basedir, settings);
    const std::string path = my_ini_path();
    // Whatever keeps the old file from being read (missing, locked) it is replaced by a complete
    // new one: the server must find its owned options in any case. Its bytes need not be UTF-8.
    auto existing = read_file(path);
    std::string text = existing ? update_my_ini_text(*existing, owned)
                                : new_my_ini_text(owned, data_dir(), error_log_path());
    // Written beside and swapped in: a crash or a full disk never leaves the server with half a
    // configuration.
    return replace_file_contents(path, text);
}

std::optional<std::string> read_my_ini_value(const std::string& name) {
    auto text = read_file(my_ini_path());
    if (!text) return std::nullopt;
    return my_ini_value(*text, name);
}

std::uint16_t configured_port() {
    auto value = read_my_ini_value("port");
    if (!value) return default_port;
    return parse_u16(*value).value_or(default_port);
}
