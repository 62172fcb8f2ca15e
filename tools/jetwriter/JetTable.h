// The tables the Jet writer takes: columns of four types and rows of optional values.
#pragma once

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

} // namespace jetwriter
