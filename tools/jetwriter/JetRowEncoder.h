// Rows as Jet 4 stores them: the fixed values, the variable ones with their offsets, and the
// null mask. The catalog's rows are encoded the same way as a table's.
#pragma once

#include "JetTable.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace jetwriter::detail {

// A column as stored: both user columns and the catalog's own (which has an OLE column).
struct StoredColumn {
    std::u16string name;
    std::uint8_t type = 0;
    bool fixed = false;
    std::uint16_t number = 0;
    std::uint16_t varIndex = 0;
    std::uint16_t fixedOffset = 0;
    std::uint16_t length = 0;
};

struct Shape {
    std::vector<StoredColumn> columns;
    std::uint16_t varCount = 0;
    std::uint16_t fixedBytes = 0;
};

// Stored columns from names and type codes; `textLengths` counts characters of Text columns.
Shape makeShape(const std::vector<std::pair<std::u16string, std::uint8_t>>& defs,
                const std::vector<int>& textLengths);

// One cell ready for the row: null flag, the fixed value, or the variable bytes.
struct Cell {
    bool present = false;
    std::int64_t number = 0;
    bool flag = false;
    std::string bytes;
};

std::string encodeRow(const Shape& shape, const std::vector<Cell>& cells);

// The shape of a table whose columns are checked already.
Shape userShape(const std::vector<Column>& columns);

// Every row of `table`, checked against its columns and encoded; throws std::invalid_argument
// naming the row and column of the first that does not fit.
std::vector<std::string> encodeRows(const Table& table, const Shape& shape);

// The catalog (MSysObjects): its columns, and the row naming one table.
Shape catalogShape();
std::string catalogRow(const Shape& shape, std::uint32_t id, const std::u16string& name,
                       std::uint32_t flags);

} // namespace jetwriter::detail
