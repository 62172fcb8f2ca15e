// In-memory form of one Jet table: the engine reads a table once, then filters and
// orders it without going back to the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvast::channels::jet {

// How a column's values compare and convert; derived from the stored column type.
enum class FieldKind {
    Text,    // Text and Memo
    Integer, // Byte, Integer, Long
    Real,    // Single, Double, Currency, Numeric
    Boolean, // Yes/No
    Other,   // dates, binary and the rest: kept as the reader's text
};

struct FieldValue {
    bool isNull = false;
    std::string text;         // UTF-8; the reader's text form for every kind
    std::int64_t integer = 0; // Integer and Boolean (1/0)
    double real = 0.0;        // Real
};

struct FieldInfo {
    std::string name;
    FieldKind kind = FieldKind::Text;
};

struct TableData {
    std::string name;
    std::vector<FieldInfo> fields;
    std::vector<std::vector<FieldValue>> rows; // rows[r][f], table order

    // Index of the field called `name` (ASCII case-insensitive, as Jet names are), or -1.
    int fieldIndex(std::string_view fieldName) const;
};

} // namespace zorvast::channels::jet
