#include "JetRowEncoder.h"
#include "JetFormat.h"
#include "JetTextEncoding.h"
#include "JetValidation.h"

#include <variant>

namespace jetwriter::detail {

namespace {

std::uint8_t storedType(ColumnType t) {
    switch (t) {
    case ColumnType::Text:
        return kTypeText;
    case ColumnType::Integer:
        return kTypeInt;
    case ColumnType::Long:
        return kTypeLong;
    case ColumnType::YesNo:
        return kTypeBool;
    }
    return 0;
}

} // namespace

Shape makeShape(const std::vector<std::pair<std::u16string, std::uint8_t>>& defs,
                const std::vector<int>& textLengths) {
    Shape shape;
    for (std::size_t i = 0; i < defs.size(); ++i) {
        StoredColumn c;
        c.name = defs[i].first;
        c.type = defs[i].second;
        c.number = static_cast<std::uint16_t>(i);
        switch (c.type) {
        case kTypeText:
            c.length = static_cast<std::uint16_t>(2 * textLengths[i]);
            break;
        case kTypeInt:
            c.length = 2;
            c.fixed = true;
            break;
        case kTypeLong:
            c.length = 4;
            c.fixed = true;
            break;
        case kTypeBool:
            c.length = 1; // readers treat it as 0 bytes; Access stores 1
            c.fixed = true;
            break;
        default:
            c.length = 0; // OLE: long value, stored outside the row (we never store any)
            break;
        }
        if (c.fixed) {
            c.fixedOffset = shape.fixedBytes;
            if (c.type != kTypeBool) {
                shape.fixedBytes = static_cast<std::uint16_t>(shape.fixedBytes + c.length);
            }
        } else {
            c.varIndex = shape.varCount++;
        }
        shape.columns.push_back(std::move(c));
    }
    return shape;
}

std::string encodeRow(const Shape& shape, const std::vector<Cell>& cells) {
    const std::size_t n = shape.columns.size();
    const std::size_t maskBytes = (n + 7) / 8;
    std::string row;
    append16(row, static_cast<std::uint16_t>(n));
    row.append(shape.fixedBytes, '\0');
    std::string mask(maskBytes, '\0');
    std::vector<std::uint16_t> varOffsets(shape.varCount);
    // Variable data goes in var-index order, which is column order.
    for (std::size_t i = 0; i < n; ++i) {
        const StoredColumn& c = shape.columns[i];
        const Cell& cell = cells[i];
        bool bit = cell.present;
        if (c.type == kTypeBool) {
            bit = cell.present && cell.flag;
        } else if (c.fixed) {
            if (cell.present) {
                const auto v = static_cast<std::uint32_t>(cell.number);
                const std::size_t at = 2 + c.fixedOffset;
                if (c.type == kTypeInt) {
                    put16(row, at, static_cast<std::uint16_t>(v));
                } else {
                    put32(row, at, v);
                }
            }
        } else {
            varOffsets[c.varIndex] = static_cast<std::uint16_t>(row.size());
            if (cell.present) {
                row += cell.bytes;
            }
        }
        if (bit) {
            mask[i / 8] = static_cast<char>(mask[i / 8] | (1 << (i % 8)));
        }
    }
    if (shape.varCount > 0) {
        const auto eod = static_cast<std::uint16_t>(row.size());
        append16(row, eod);
        for (std::size_t k = shape.varCount; k-- > 0;) {
            append16(row, varOffsets[k]);
        }
        append16(row, shape.varCount);
    }
    row += mask;
    return row;
}

Shape userShape(const std::vector<Column>& columns) {
    std::vector<std::pair<std::u16string, std::uint8_t>> defs;
    std::vector<int> lengths;
    for (const Column& c : columns) {
        std::u16string units;
        std::string ignored;
        toUtf16(c.name, units, ignored);
        defs.emplace_back(units, storedType(c.type));
        lengths.push_back(c.textLength);
    }
    return makeShape(defs, lengths);
}

std::vector<std::string> encodeRows(const Table& table, const Shape& shape) {
    std::vector<std::string> rows;
    if (table.rows.size() > 0xFFFFFFFFull) {
        fail("table " + inQuotes(table.name) + " has too many rows");
    }
    rows.reserve(table.rows.size());
    std::vector<Cell> cells(table.columns.size());
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const Row& row = table.rows[r];
        const std::string where =
            "table " + inQuotes(table.name) + ", row " + std::to_string(r + 1);
        if (row.size() != table.columns.size()) {
            fail(where + ": " + std::to_string(row.size()) + " cells for " +
                 std::to_string(table.columns.size()) + " columns");
        }
        for (std::size_t c = 0; c < row.size(); ++c) {
            const Column& column = table.columns[c];
            std::u16string text;
            const std::string error = checkValue(column, row[c], &text);
            if (!error.empty()) {
                fail(where + ", column " + inQuotes(column.name) + ": " + error);
            }
            Cell& cell = cells[c];
            cell.present = row[c].has_value();
            cell.bytes.clear();
            if (cell.present) {
                if (column.type == ColumnType::Text) {
                    cell.bytes = encodeText(text);
                } else if (column.type == ColumnType::YesNo) {
                    cell.flag = std::get<bool>(*row[c]);
                } else {
                    cell.number = std::get<std::int64_t>(*row[c]);
                }
            }
        }
        std::string bytes = encodeRow(shape, cells);
        if (bytes.size() > kMaxRowBytes) {
            fail(where + ": the row takes " + std::to_string(bytes.size()) + " bytes, more than " +
                 std::to_string(kMaxRowBytes));
        }
        rows.push_back(std::move(bytes));
    }
    return rows;
}

Shape catalogShape() {
    return makeShape({{u"Id", kTypeLong},
                      {u"ParentId", kTypeLong},
                      {u"Name", kTypeText},
                      {u"Type", kTypeInt},
                      {u"Flags", kTypeLong},
                      {u"LvProp", kTypeOle}},
                     {0, 0, 255, 0, 0, 0});
}

std::string catalogRow(const Shape& shape, std::uint32_t id, const std::u16string& name,
                       std::uint32_t flags) {
    std::vector<Cell> cells(6);
    cells[0].present = true;
    cells[0].number = static_cast<std::int32_t>(id);
    cells[1].present = true;
    cells[1].number = static_cast<std::int32_t>(kTablesContainerId);
    cells[2].present = true;
    cells[2].bytes = encodeText(name);
    cells[3].present = true;
    cells[3].number = 1; // table
    cells[4].present = true;
    cells[4].number = static_cast<std::int32_t>(flags);
    return encodeRow(shape, cells);
}

} // namespace jetwriter::detail
