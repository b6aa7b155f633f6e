#pragma once
// Whether a dump stays inside the shop's database. A dump made with --databases of another
// database or with --all-databases selects and creates other databases and rewrites the server's
// own `mysql` schema, where the root password and the registers' account live; restore reads the
// dump's statements before it changes anything and refuses such a dump.
#include "base/result.h"

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One reading of a dump, line by line, as the mysql client splits it into statements: strings
// and comments skipped, the server's /*! ... */ comments read as the code they are, DELIMITER
// followed. Statements start at the top level and, inside a routine's body, after ";", BEGIN,
// THEN, ELSE and DO.
struct DumpReading {
    std::string database; // the shop's
    // False: strings are read as the server reads them under NO_BACKSLASH_ESCAPES.
    bool backslash_escapes = true;

    // What the reading found that leaves the shop's database, with its line; the first only.
    std::optional<std::string> finding;
    std::size_t tables = 0; // CREATE TABLE statements at the top level
    // A SET statement of the dump asks for NO_BACKSLASH_ESCAPES: it must be read that way too.
    bool turns_off_backslash_escapes = false;

    enum class Within { code, single_quote, double_quote, backquote, block_comment };
    Within within = Within::code;
    bool in_server_comment = false; // inside /*! ... */
    std::string delimiter = ";";
    std::size_t line = 0;
    bool top_level_started = false; // the statement at the top level has a token
    std::string quoted;             // the quoted token being read, up to a length
    bool quoted_cut = false;        // the quoted token was longer than that
    struct Token {
        std::string text;
        bool word = false;   // an unquoted word: a keyword or a plain name
        bool name = false;   // a word or a quoted identifier
        bool string = false; // a single-quoted string
    };
    std::vector<Token> statement; // the first tokens of the statement being read
    std::size_t statement_line = 0;
    bool in_set = false; // the statement is a SET
    // What came just before the token being read: a server schema's name (for `mysql`.`user`),
    // and a dot after it; CREATE, DROP, RENAME or ALTER (for CREATE USER).
    std::string schema;
    bool schema_dot = false;
    std::string verb;
    bool after_at = false; // the next token names a variable (@name)
};

// Feeds one line (without its line break).
void read_dump_line(DumpReading& reading, std::string_view line);
// The end of the dump: its last statement may lack a delimiter.
void finish_dump_reading(DumpReading& reading);

struct DumpScope {
    // The first statement that leaves the database, as "<what> at line <n>"; nothing when the
    // dump stays inside it.
    std::optional<std::string> outside;
    std::size_t tables = 0; // the tables the dump creates, when it stays inside
};

// The open dump read from its start.
Result<DumpScope> read_dump_scope(HANDLE file, const std::string& database);
