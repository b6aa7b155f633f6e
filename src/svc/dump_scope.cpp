#include "svc/dump_scope.h"

#include "base/text.h"

#include <algorithm>

namespace {

using Token = DumpReading::Token;
using Within = DumpReading::Within;

constexpr std::string_view server_schemas[] = {"mysql", "sys", "information_schema",
                                               "performance_schema"};
// Enough of a statement for its rules: CREATE DATABASE IF NOT EXISTS `name`.
constexpr std::size_t kept_tokens = 8;
// Names are short; a longer quoted text is data and is not kept whole.
constexpr std::size_t kept_quoted = 256;
constexpr DWORD read_chunk = 1 << 20;
constexpr std::size_t version_digits = 5; // /*!50003 ... */

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_name(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return lower(x) == lower(y); });
}

bool mentions(std::string_view text, std::string_view word) {
    return !std::ranges::search(text, word, [](char x, char y) {
                return lower(x) == lower(y);
            }).empty();
}

bool word_char(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' ||
           u == '$' || u >= 0x80;
}

bool is_any(std::string_view text, std::initializer_list<std::string_view> keywords) {
    return std::ranges::any_of(keywords, [&](std::string_view k) { return same_name(text, k); });
}

bool is(const Token& token, std::string_view keyword) {
    return token.word && same_name(token.text, keyword);
}

bool is_any(const Token& token, std::initializer_list<std::string_view> keywords) {
    return token.word && is_any(token.text, keywords);
}

std::string upper(std::string_view text) {
    std::string big(text);
    for (char& c : big)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return big;
}

// A token as it is read: a view of the line, or of the quoted text collected.
struct Seen {
    std::string_view text;
    bool word = false, name = false, string = false;
};

// A name as the dump wrote it, a quoted one in backquotes.
std::string shown(std::string_view text, bool word) {
    std::string out;
    if (!word) out += '`';
    out += text;
    if (!word) out += '`';
    return out;
}

void found(DumpReading& r, const std::string& what, std::size_t line) {
    if (!r.finding) r.finding = what + " at line " + std::to_string(line);
}

void judge_database(DumpReading& r, const std::string& statement, const Token& name) {
    if (!same_name(name.text, r.database))
        found(r, statement + " " + shown(name.text, name.word), r.statement_line);
}

// The rules that need the start of a statement.
void judge_statement(DumpReading& r) {
    const std::vector<Token>& s = r.statement;
    auto at = [&](std::size_t k, std::string_view keyword) {
        return k < s.size() && is(s[k], keyword);
    };
    if (s.empty()) return;
    if (at(0, "USE") && s.size() > 1) return judge_database(r, "USE", s[1]);
    if (is_any(s[0], {"CREATE", "DROP", "ALTER"}) && (at(1, "DATABASE") || at(1, "SCHEMA"))) {
        std::size_t k = 2;
        if (at(k, "IF")) {
            ++k;
            if (at(k, "NOT")) ++k;
            if (at(k, "EXISTS")) ++k;
        }
        // ALTER DATABASE without a name changes the current one, which is the shop's.
        if (k < s.size() && !s[k].string &&
            !is_any(s[k], {"DEFAULT", "CHARACTER", "CHARSET", "COLLATE"}))
            judge_database(r, upper(s[0].text) + " " + upper(s[1].text), s[k]);
        return;
    }
    if (at(0, "SET") && at(1, "PASSWORD")) return found(r, "SET PASSWORD", r.statement_line);
    // The server runs as the local system: a plugin it loads, or a file it reads, is the system's.
    if (is_any(s[0], {"INSTALL", "UNINSTALL"}) && at(1, "PLUGIN"))
        return found(r, upper(s[0].text) + " PLUGIN", r.statement_line);
    if (at(0, "LOAD") && (at(1, "DATA") || at(1, "XML")))
        return found(r, "LOAD " + upper(s[1].text), r.statement_line);
    // Statements made up at restore time, and routines run then, escape every rule here.
    if (is_any(s[0], {"PREPARE", "EXECUTE", "CALL"})) found(r, upper(s[0].text), r.statement_line);
}

void close_statement(DumpReading& r) {
    judge_statement(r);
    r.statement.clear();
    r.in_set = false;
}

void end_top_statement(DumpReading& r) {
    if (r.statement.size() > 1 && is(r.statement[0], "CREATE") && is(r.statement[1], "TABLE"))
        ++r.tables;
    close_statement(r);
    r.top_level_started = false;
    r.schema.clear();
    r.schema_dot = false;
    r.verb.clear();
}

void append(DumpReading& r, const Seen& token) {
    if (r.schema_dot) found(r, r.schema + "." + shown(token.text, token.word), r.line);
    const bool dot = !r.schema.empty() && !r.schema_dot && !token.word && !token.name &&
                     !token.string && token.text == ".";
    r.schema_dot = dot;
    if (!dot) r.schema.clear();
    if (token.name && std::ranges::any_of(server_schemas, [&](std::string_view s) {
            return same_name(token.text, s);
        }))
        r.schema = shown(token.text, token.word);
    r.top_level_started = true;
    // Files the server reads or writes, tables it places and libraries it loads are read, written
    // and loaded as the local system, wherever they stand in a statement.
    if (token.word &&
        is_any(token.text, {"OUTFILE", "DUMPFILE", "SONAME", "LOAD_FILE", "DIRECTORY", "DATAFILE"}))
        found(r, upper(token.text), r.line);
    // The bulk of a dump, the rows of its INSERT statements, goes no further.
    if (r.statement.size() >= kept_tokens && !r.in_set) return;
    // A global variable outlives the restore: the server's log files among them, which it writes
    // as the local system wherever they are pointed.
    if (r.in_set && token.word && is_any(token.text, {"GLOBAL", "PERSIST", "PERSIST_ONLY"}))
        found(r, "SET GLOBAL", r.line);
    if (r.in_set && mentions(token.text, "NO_BACKSLASH_ESCAPES"))
        r.turns_off_backslash_escapes = true;
    if (r.statement.empty()) {
        r.statement_line = r.line;
        r.in_set = token.word && same_name(token.text, "SET");
    }
    if (r.statement.size() < kept_tokens)
        r.statement.push_back(Token{.text = std::string(token.text),
                                    .word = token.word,
                                    .name = token.name,
                                    .string = token.string});
}

void add_word(DumpReading& r, std::string_view text) {
    const bool name = !r.after_at;
    r.after_at = false;
    // A number is neither a keyword nor a schema's name: the bulk of a dump's rows goes by fast.
    if (text[0] >= '0' && text[0] <= '9') {
        r.verb.clear();
        return append(r, {.text = text, .word = true});
    }
    // Reserved words, or pairs that mean nothing else: wherever they stand, a routine's body
    // included, they manage accounts.
    if (is_any(text, {"GRANT", "REVOKE"})) found(r, upper(text), r.line);
    if (!r.verb.empty() && same_name(text, "USER")) found(r, r.verb + " USER", r.line);
    r.verb = is_any(text, {"CREATE", "DROP", "RENAME", "ALTER"}) ? upper(text) : std::string();
    const bool opens_statement = is_any(text, {"BEGIN", "THEN", "ELSE", "DO"});
    append(r, {.text = text, .word = true, .name = name});
    if (opens_statement) close_statement(r);
}

void add_punctuation(DumpReading& r, char c) {
    r.verb.clear();
    append(r, {.text = std::string_view(&c, 1)});
    r.after_at = c == '@';
    // Inside a routine's body (read under another delimiter) ";" ends a statement of the body.
    if (c == ';') close_statement(r);
}

// Reads a quoted token on to its closing quote, or to the end of the line. Gives the position
// after it.
std::size_t read_quoted(DumpReading& r, std::string_view line, std::size_t i, char quote) {
    const bool escapes = r.backslash_escapes && quote != '`';
    const bool keep = quote != '\'' || r.in_set;
    auto collect = [&](std::string_view part) {
        if (!keep || r.quoted_cut) return;
        if (r.quoted.size() + part.size() > kept_quoted) {
            r.quoted_cut = true;
            return;
        }
        r.quoted.append(part);
    };
    for (;;) {
        // The rows of a dump are mostly quoted text: this loop is where the time goes.
        std::size_t at = i;
        while (at < line.size() && line[at] != quote && !(escapes && line[at] == '\\'))
            ++at;
        if (at == line.size()) {
            collect(line.substr(i));
            collect("\n");
            return line.size();
        }
        if (line[at] == '\\') {
            collect(line.substr(i, std::min(at + 2, line.size()) - i));
            i = at + 2;
            if (i >= line.size()) return line.size();
            continue;
        }
        collect(line.substr(i, at - i));
        if (at + 1 < line.size() && line[at + 1] == quote) {
            collect(std::string_view(&quote, 1));
            i = at + 2;
            continue;
        }
        const Seen token{.text = r.quoted_cut ? std::string_view() : std::string_view(r.quoted),
                         .name = quote != '\'' && !r.after_at && !r.quoted_cut,
                         .string = quote == '\''};
        r.after_at = false;
        r.within = Within::code;
        r.verb.clear();
        append(r, token);
        r.quoted.clear();
        r.quoted_cut = false;
        return at + 1;
    }
}

std::string_view first_word(std::string_view text) {
    std::size_t end = 0;
    while (end < text.size() && static_cast<unsigned char>(text[end]) > ' ')
        ++end;
    return text.substr(0, end);
}

std::string_view skip_blanks(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t'))
        ++start;
    return text.substr(start);
}

// The client's own commands, which it takes from the start of a line before a statement has
// begun: DELIMITER, and those that read another file or connect again. (USE is also the
// server's statement and is judged as one.)
bool client_command(DumpReading& r, std::string_view line) {
    const std::string_view text = skip_blanks(line);
    const std::string_view command = first_word(text);
    if (same_name(command, "delimiter")) {
        const std::string_view argument = first_word(skip_blanks(text.substr(command.size())));
        if (!argument.empty()) r.delimiter = argument;
        return true;
    }
    for (std::string_view refused : {"source", "connect", "\\.", "\\r"})
        if (same_name(command, refused)) {
            found(r, std::string(command), r.line);
            return true;
        }
    return false;
}

void read_code(DumpReading& r, std::string_view line, std::size_t& i) {
    const char c = line[i];
    if (c == r.delimiter[0] && line.compare(i, r.delimiter.size(), r.delimiter) == 0) {
        end_top_statement(r);
        i += r.delimiter.size();
        return;
    }
    if (static_cast<unsigned char>(c) <= ' ') {
        ++i;
        return;
    }
    if (word_char(c)) {
        const bool delimiter_in_words = word_char(r.delimiter[0]);
        std::size_t end = i + 1;
        while (end < line.size() && word_char(line[end]) &&
               !(delimiter_in_words && line.compare(end, r.delimiter.size(), r.delimiter) == 0))
            ++end;
        add_word(r, line.substr(i, end - i));
        i = end;
        return;
    }
    const char next = i + 1 < line.size() ? line[i + 1] : '\0';
    switch (c) {
    case '\'':
        r.within = Within::single_quote;
        i = read_quoted(r, line, i + 1, c);
        return;
    case '"':
        r.within = Within::double_quote;
        i = read_quoted(r, line, i + 1, c);
        return;
    case '`':
        r.within = Within::backquote;
        i = read_quoted(r, line, i + 1, c);
        return;
    case '#':
        i = line.size();
        return;
    case '-':
        if (next == '-' &&
            (i + 2 >= line.size() || static_cast<unsigned char>(line[i + 2]) <= ' ')) {
            i = line.size();
            return;
        }
        break;
    case '/':
        if (next == '*' && i + 2 < line.size() && line[i + 2] == '!') {
            // The server runs what is inside; the version number in front is not part of it.
            r.in_server_comment = true;
            i += 3;
            std::size_t digits = 0;
            while (digits < version_digits && i + digits < line.size() && line[i + digits] >= '0' &&
                   line[i + digits] <= '9')
                ++digits;
            if (digits == version_digits) i += digits;
            return;
        }
        if (next == '*') {
            r.within = Within::block_comment;
            i += 2;
            return;
        }
        break;
    case '*':
        if (next == '/' && r.in_server_comment) {
            r.in_server_comment = false;
            i += 2;
            return;
        }
        break;
    case '\\':
        // The client's short commands: \g ends a statement, \u selects a database, \. reads a
        // file, \r connects again.
        if (next == 'g' || next == 'G') {
            end_top_statement(r);
        } else if (next == 'u' || next == '.' || next == 'r' || next == '!') {
            found(r, std::string("\\") + next, r.line);
        }
        i += 2;
        return;
    default:
        break;
    }
    add_punctuation(r, c);
    ++i;
}

Result<std::optional<std::string>> read_dump(HANDLE file, DumpReading& reading) {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return fail(last_error_text());
    std::string buffer(read_chunk, '\0');
    std::string carried; // a line that goes on in the next chunk
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer.data(), read_chunk, &got, nullptr))
            return fail(last_error_text());
        if (got == 0) break;
        const std::string_view chunk(buffer.data(), got);
        std::size_t from = 0;
        for (std::size_t end; (end = chunk.find('\n', from)) != std::string_view::npos;
             from = end + 1) {
            if (carried.empty()) {
                read_dump_line(reading, chunk.substr(from, end - from));
            } else {
                carried.append(chunk.substr(from, end - from));
                read_dump_line(reading, carried);
                carried.clear();
            }
            if (reading.finding) return reading.finding;
        }
        carried.append(chunk.substr(from));
    }
    if (!carried.empty()) read_dump_line(reading, carried);
    finish_dump_reading(reading);
    return reading.finding;
}

} // namespace

void read_dump_line(DumpReading& r, std::string_view line) {
    ++r.line;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (r.within == Within::code && !r.in_server_comment && !r.top_level_started &&
        client_command(r, line))
        return;
    std::size_t i = 0;
    while (i < line.size()) {
        switch (r.within) {
        case Within::code:
            read_code(r, line, i);
            break;
        case Within::single_quote:
            i = read_quoted(r, line, i, '\'');
            break;
        case Within::double_quote:
            i = read_quoted(r, line, i, '"');
            break;
        case Within::backquote:
            i = read_quoted(r, line, i, '`');
            break;
        case Within::block_comment: {
            const std::size_t end = line.find("*/", i);
            if (end == std::string_view::npos) return;
            r.within = Within::code;
            i = end + 2;
            break;
        }
        }
    }
}

void finish_dump_reading(DumpReading& r) {
    if (r.within == Within::code) end_top_statement(r);
}

Result<DumpScope> read_dump_scope(HANDLE file, const std::string& database) {
    DumpReading escaped{.database = database};
    auto first = read_dump(file, escaped);
    if (!first) return fail(first.error());
    if (*first || !escaped.turns_off_backslash_escapes) return DumpScope{*first, escaped.tables};
    // After SET sql_mode='NO_BACKSLASH_ESCAPES' a backslash no longer escapes a quote: the
    // statements after it may be split elsewhere. Both readings must stay inside.
    DumpReading plain{.database = database, .backslash_escapes = false};
    auto second = read_dump(file, plain);
    if (!second) return fail(second.error());
    return DumpScope{*second, plain.tables};
}
