#include "svc/diagnosis.h"

#include "base/fill_in.h"
#include "base/text.h"
#include "i18n/tr.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <span>

namespace {

// Marks of each cause as MySQL 5.7 writes them, on Linux and on Windows (which numbers its
// socket and file errors differently: 10048 for a taken address, 10049 for an address this
// computer does not have, 5 for access denied, 112 for a full disk).
constexpr std::string_view port_marks[] = {
    "Do you already have another mysqld server running on port",
    "Bind on TCP/IP port: Address already in use", "Got error: 10048"};
// 5.7 asks "Do you already have another mysqld server running" after any failed bind, also for
// an address that is not this computer's: that rule comes first.
constexpr std::string_view foreign_address_marks[] = {"Cannot assign requested address",
                                                      "Got error: 10049"};
constexpr std::string_view locked_marks[] = {
    "Unable to lock ", "already have another mysqld process using the same InnoDB data",
    "another program is using InnoDB's files"};
constexpr std::string_view option_marks[] = {"unknown variable '", "unknown option '"};
constexpr std::string_view access_marks[] = {"Errcode: 13 ",
                                             "errno: 13 ",
                                             "Permission denied",
                                             "Operating system error number 13 in",
                                             "Operating system error number 5 in",
                                             "must be writable"};
// InnoDB ends the number with " in a file operation." or, after a failed write, with a full stop.
constexpr std::string_view disk_marks[] = {"No space left",
                                           "Errcode: 28 ",
                                           "Disk is full",
                                           "Operating system error number 28",
                                           "Operating system error number 112 ",
                                           "Operating system error number 112.",
                                           "out of disk space"};
constexpr std::string_view system_table_marks[] = {"Can't open and lock privilege tables",
                                                   "Table 'mysql.user' doesn't exist"};
constexpr std::string_view corruption_marks[] = {
    "Database page corruption", "InnoDB: Assertion failure", "corrupt database page"};

struct Rule {
    StartFailure cause;
    std::span<const std::string_view> marks;
};
constexpr Rule rules[] = {
    {StartFailure::address_not_local, foreign_address_marks},
    {StartFailure::port_in_use, port_marks},
    {StartFailure::data_folder_locked, locked_marks},
    {StartFailure::unknown_option, option_marks},
    {StartFailure::file_access, access_marks},
    {StartFailure::disk_full, disk_marks},
    {StartFailure::system_tables, system_table_marks},
    {StartFailure::innodb_corruption, corruption_marks},
};

// 5.7's levels besides errors: a warning (an unknown loose- option, say) is never the cause.
constexpr std::string_view minor_marks[] = {"[Warning] ", "[Note] "};
constexpr std::string_view error_mark = "[ERROR] ";
// Error lines that follow a failure whatever its cause, or that 5.7 writes at good starts too
// (the plugin table of a data folder from an older version): never the words of a cause.
constexpr std::string_view closing_error = "Aborting";
constexpr std::string_view echo_marks[] = {"Can't open the mysql.plugin table",
                                           "init function returned error",
                                           "registration as a STORAGE ENGINE failed",
                                           "Failed to initialize builtin plugins",
                                           "Failed to initialize plugins",
                                           "Plugin initialization aborted"};
constexpr std::size_t longest_subject = 300;

constexpr std::array<std::string_view, 10> codes = {
    "port_in_use",   "data_folder_locked", "unknown_option",    "file_access", "disk_full",
    "system_tables", "innodb_corruption",  "address_not_local", "cannot_run",  "other"};

bool has_mark(std::string_view line, std::span<const std::string_view> marks) {
    for (std::string_view mark : marks)
        if (line.find(mark) != std::string_view::npos) return true;
    return false;
}

// At most `longest_subject` bytes, cut before a character, never inside one.
std::string bounded(std::string_view text) {
    text = trim(text);
    if (text.size() > longest_subject) {
        std::size_t cut = longest_subject;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text = text.substr(0, cut);
    }
    return lossy_utf8(text);
}

// 'name=value' of "unknown variable 'name=value'", or the line itself when it has no quotes.
std::string quoted_option(std::string_view line) {
    for (std::string_view mark : option_marks) {
        const std::size_t at = line.find(mark);
        if (at == std::string_view::npos) continue;
        std::string_view rest = line.substr(at + mark.size());
        return bounded(rest.substr(0, rest.rfind('\'')));
    }
    return bounded(line);
}

std::string advice(const Diagnosis& d, Lang lang) {
    if (d.backup.empty())
        return std::string(translate(lang, "Restore a backup.", "请恢复一份备份。"));
    return fill_in(translate(lang, "Restore the last backup (%1).", "请恢复最近一次备份（%1）。"),
                   {d.backup});
}

// Why the system's loader refused the program, from its exit status ("0xC0000135").
std::string cannot_run_reason(const std::string& status, Lang lang) {
    if (status == exit_status_text(dll_not_found_status))
        return fill_in(translate(lang, "a program library (DLL) it needs is missing (%1).",
                                 "缺少它需要的程序库（DLL）（%1）。"),
                       {status});
    if (status == exit_status_text(invalid_image_status))
        return fill_in(translate(lang,
                                 "its program files do not suit this Windows or are damaged (%1).",
                                 "它的程序文件不适合此 Windows 或已损坏（%1）。"),
                       {status});
    return status;
}

std::string single_line(std::string_view text) {
    std::string line(text);
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    return line;
}

} // namespace

std::optional<LogFinding> classify_error_log(std::string_view lines) {
    std::vector<std::string_view> errors;
    for (std::string_view line : split_lines(lines))
        if (!has_mark(line, minor_marks)) errors.push_back(line);
    for (const Rule& rule : rules)
        for (std::string_view line : errors)
            if (has_mark(line, rule.marks))
                return LogFinding{rule.cause, rule.cause == StartFailure::unknown_option
                                                  ? quoted_option(line)
                                                  : std::string()};
    // Anything else: MySQL's last error of the start that says more than that it failed.
    std::optional<std::string_view> last, last_telling;
    for (std::string_view line : errors) {
        const std::size_t at = line.find(error_mark);
        if (at == std::string_view::npos) continue;
        const std::string_view message = trim(line.substr(at + error_mark.size()));
        last = message;
        if (message != closing_error && !has_mark(message, echo_marks)) last_telling = message;
    }
    if (!last) return std::nullopt;
    return LogFinding{StartFailure::other, bounded(last_telling.value_or(*last))};
}

std::optional<std::int64_t> log_line_time(std::string_view line) {
    // YYYY-MM-DDTHH:MM:SS, a fraction, then Z or +HH:MM / -HH:MM.
    auto number = [&](std::size_t at, std::size_t digits) -> std::optional<int> {
        if (line.size() < at + digits) return std::nullopt;
        int value = 0;
        for (char c : line.substr(at, digits)) {
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + (c - '0');
        }
        return value;
    };
    const auto year = number(0, 4), month = number(5, 2), day = number(8, 2), hour = number(11, 2),
               minute = number(14, 2), second = number(17, 2);
    if (!year || !month || !day || !hour || !minute || !second || line[4] != '-' ||
        line[7] != '-' || line[10] != 'T' || line[13] != ':' || line[16] != ':')
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok()) return std::nullopt;
    std::size_t at = 19;
    while (at < line.size() && (line[at] == '.' || (line[at] >= '0' && line[at] <= '9')))
        ++at;
    int offset_minutes = 0;
    if (at < line.size() && (line[at] == '+' || line[at] == '-')) {
        const auto offset_hours = number(at + 1, 2), offset_rest = number(at + 4, 2);
        if (!offset_hours || !offset_rest) return std::nullopt;
        offset_minutes = (line[at] == '-' ? -1 : 1) * (*offset_hours * 60 + *offset_rest);
    } else if (at >= line.size() || line[at] != 'Z') {
        return std::nullopt;
    }
    const std::int64_t days = std::chrono::sys_days(date).time_since_epoch().count();
    return days * 86400 + *hour * 3600 + *minute * 60 + *second - offset_minutes * 60;
}

std::string exit_status_text(unsigned long exit_status) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", exit_status);
    return text;
}

bool cannot_run_status(unsigned long exit_status) {
    return exit_status == dll_not_found_status || exit_status == invalid_image_status;
}

std::string_view diagnosis_code(StartFailure cause) {
    return codes[static_cast<std::size_t>(cause)];
}

std::string diagnosis_text(const Diagnosis& d, Lang lang) {
    const std::string port = std::to_string(d.port);
    switch (d.cause) {
    case StartFailure::port_in_use:
        if (d.subject.empty())
            return fill_in(translate(lang, "Port %1 is already in use by another program.",
                                     "端口 %1 已被其他程序占用。"),
                           {port});
        return fill_in(translate(lang, "Port %1 is already in use by %2 (PID %3).",
                                 "端口 %1 已被 %2（PID %3）占用。"),
                       {port, d.subject, std::to_string(d.pid)});
    case StartFailure::data_folder_locked:
        return std::string(translate(lang, "Another MySQL server is using the data folder.",
                                     "另一个 MySQL 服务器正在使用数据文件夹。"));
    case StartFailure::unknown_option:
        return fill_in(translate(lang, "my.ini has an option this MySQL does not know: %1.",
                                 "my.ini 中有此 MySQL 不认识的选项：%1。"),
                       {d.subject});
    case StartFailure::file_access:
        return fill_in(
            translate(lang, "MySQL may not read its files in %1.", "MySQL 无权读取 %1 中的文件。"),
            {d.folder});
    case StartFailure::disk_full:
        return fill_in(
            translate(lang, "The disk is full (%1 free on %2).", "磁盘已满（%2 仅剩 %1）。"),
            {d.free_space, d.drive});
    case StartFailure::system_tables:
        return std::string(translate(lang, "The database's system tables are missing or damaged.",
                                     "数据库的系统表缺失或已损坏。")) +
               " " + advice(d, lang);
    case StartFailure::innodb_corruption:
        return std::string(
                   translate(lang, "The database files are damaged.", "数据库文件已损坏。")) +
               " " + advice(d, lang);
    case StartFailure::address_not_local:
        return fill_in(translate(lang,
                                 "MySQL cannot listen at %1: that address is not on this "
                                 "computer. Choose the server IP on the Connection page.",
                                 "MySQL 无法在 %1 上监听：本机没有这个地址。请在“连接方式”页面选择"
                                 "服务器 IP。"),
                       {d.subject});
    case StartFailure::cannot_run:
        return fill_in(translate(lang, "MySQL cannot start on this computer: %1",
                                 "MySQL 无法在本机上启动：%1"),
                       {cannot_run_reason(d.subject, lang)});
    case StartFailure::other:
        break;
    }
    return fill_in(translate(lang, "MySQL did not start: %1", "MySQL 未能启动：%1"), {d.subject});
}

std::string size_text(std::uint64_t bytes) {
    constexpr std::uint64_t kilo = 1024, mega = kilo * kilo, giga = mega * kilo;
    if (bytes >= giga) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / giga);
        return text;
    }
    if (bytes >= mega) return std::to_string(bytes / mega) + " MB";
    return std::to_string(bytes / kilo) + " KB";
}

std::string render_diagnosis(const Diagnosis& d) {
    std::string text = "cause=" + std::string(diagnosis_code(d.cause)) + "\r\n";
    const std::pair<std::string_view, std::string> fields[] = {
        {"subject", d.subject},         {"port", std::to_string(d.port)},
        {"pid", std::to_string(d.pid)}, {"backup", d.backup},
        {"free", d.free_space},         {"drive", d.drive},
        {"folder", d.folder},           {"time", d.time}};
    for (const auto& [key, value] : fields)
        text.append(key).append("=").append(single_line(value)).append("\r\n");
    return text;
}

std::optional<Diagnosis> parse_diagnosis(std::string_view text) {
    Diagnosis d;
    bool known_cause = false;
    for (std::string_view line : split_lines(text)) {
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, equals);
        const std::string value = bounded(line.substr(equals + 1));
        if (key == "cause") {
            for (std::size_t i = 0; i < codes.size(); ++i)
                if (codes[i] == value) {
                    d.cause = static_cast<StartFailure>(i);
                    known_cause = true;
                }
        } else if (key == "subject") {
            d.subject = value;
        } else if (key == "port") {
            d.port = parse_u16(value).value_or(0);
        } else if (key == "pid") {
            d.pid = static_cast<unsigned long>(parse_u64(value).value_or(0) & 0xFFFFFFFFu);
        } else if (key == "backup") {
            d.backup = value;
        } else if (key == "free") {
            d.free_space = value;
        } else if (key == "drive") {
            d.drive = value;
        } else if (key == "folder") {
            d.folder = value;
        } else if (key == "time" && log_line_time(value)) {
            d.time = value;
        }
    }
    // Only a file that names a known cause counts; the other fields may come in any order.
    if (!known_cause) return std::nullopt;
    return d;
}
