// Writes Microsoft Jet 4 (Access 2000) database files from scratch: the minimum that
// mdbtools and mdb-reader both read, enough for the program's own data and test fixtures.
#pragma once

#include "channels/store/StoredFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace jetwriter {

enum class ColumnType {
    Text,    // variable length, UCS-2 on disk; `textLength` characters at most (1..255)
    Integer, // 16-bit signed
    Long,    // 32-bit signed
    YesNo,   // boolean, kept in the row's null mask
};

struct Column {
    std::string name; // UTF-8
    ColumnType type = ColumnType::Text;
    int textLength = 255;
};

// A cell: empty optional = NULL; string = text (UTF-8); int64 = Integer/Long; bool = Yes/No.
// Jet has no NULL Yes/No: a NULL there is stored, and read back, as false. Text must be valid
// UTF-8 within the Basic Multilingual Plane, without U+0000 and not starting with U+FEFF.
using Value = std::optional<std::variant<std::string, std::int64_t, bool>>;
using Row = std::vector<Value>;

struct Table {
    std::string name; // UTF-8
    std::vector<Column> columns;
    std::vector<Row> rows;
};

// The 66 header bytes every file starts with (page 0, before the password area): the ones the
// program puts back in front of a stored database.
using zorvast::channels::store::kJetHeaderPrefix;

// Returns the file's bytes. Throws std::invalid_argument when a table, column or value
// does not fit the format (unknown type, text too long, number out of range, row too big,
// a row with the wrong number of cells, duplicate names).
// Names: 1..64 characters, no control characters; table and column names are unique
// ignoring ASCII case (mdbtools looks them up that way); "MSysObjects" is taken.
// Rows keep their order; the same input always gives the same bytes.
std::string writeDatabase(const std::vector<Table>& tables);

// Writes the bytes to `path`; throws std::runtime_error when the file cannot be written.
// Goes through a temp file beside `path` and a rename, so `path` is never half written.
void writeDatabaseFile(const std::string& path, const std::vector<Table>& tables);

// Typed TSV (header "name:Text(20)\tcount:Long\tflag:YesNo\tn:Integer"; cells with the
// escapes \t \n \r \\ and \N for NULL; Yes/No cells 1/0/true/false). Throws
// std::invalid_argument with the line number on bad input ("line 3: ..."). "name:Text" alone
// means Text(255); a trailing newline and CR LF line ends are fine.
Table readTypedTsv(const std::string& tableName, const std::string& tsvText);

} // namespace jetwriter
