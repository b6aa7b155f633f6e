#include "svc/myini.h"

#include "base/files.h"
#include "base/local_time.h"
#include "base/fill_in.h"
#include "base/text.h"
#include "i18n/tr.h"
#include "instance/paths.h"
#include "svc/backup_state.h"
#include "svc/myini_text.h"

#include <windows.h>

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

Result<std::string> set_aside_unknown_option(const std::string& line) {
    const std::string path = my_ini_path();
    auto text = read_file(path);
    if (!text) return fail(text.error());
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::string when = local_time_text(now).substr(0, 16);
    const std::optional<std::string> changed = set_aside_my_ini_line(*text, line, when);
    if (!changed) return fail(path + " has no line " + line);
    // The copy first: the file as it was is never gone, whatever stops the write.
    const std::string before = path + ".before-" + local_timestamp();
    if (auto copied = replace_file_contents(before, *text); !copied) return fail(copied.error());
    if (auto written = replace_file_contents(path, *changed); !written)
        return fail(written.error());
    return before;
}

std::optional<std::string> read_my_ini_value(const std::string& name) {
    auto text = read_file(my_ini_path());
    if (!text) return std::nullopt;
    return my_ini_value(*text, name);
}

std::vector<MyIniOverride> read_my_ini_overrides() {
    auto text = read_file(my_ini_path());
    if (!text) return {};
    return my_ini_overrides(*text);
}

std::string my_ini_override_text(const MyIniOverride& found, Lang lang) {
    return fill_in(translate(lang, "my.ini: [%1] sets %2, which the server uses instead of %3",
                             "my.ini：[%1] 设置了 %2，服务器用它代替 %3"),
                   {found.group, found.setting, found.ours});
}

std::uint16_t configured_port() {
    auto value = read_my_ini_value("port");
    if (!value) return default_port;
    return parse_u16(*value).value_or(default_port);
}

std::uint16_t written_port() {
    auto text = read_file(my_ini_path());
    auto value = text ? my_ini_written_value(*text, "port") : std::nullopt;
    if (!value) return default_port;
    return parse_u16(*value).value_or(default_port);
}
