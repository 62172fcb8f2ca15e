#include "TsvReader.h"
#include "JetFormat.h"
#include "JetValidation.h"

#include <charconv>
#include <stdexcept>
#include <string_view>

namespace jetwriter {

using detail::checkColumns;
using detail::checkValue;
using detail::fail;
using detail::inQuotes;

namespace {

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        if (tab == std::string::npos) {
            cells.push_back(line.substr(start));
            return cells;
        }
        cells.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

std::string lineError(std::size_t line, const std::string& message) {
    return "line " + std::to_string(line) + ": " + message;
}

Column parseHeaderCell(const std::string& cell, std::size_t index) {
    const std::size_t colon = cell.rfind(':');
    if (colon == std::string::npos) {
        fail(lineError(1, "column " + std::to_string(index + 1) + " " + inQuotes(cell) +
                              " has no type (name:Type)"));
    }
    Column c;
    c.name = cell.substr(0, colon);
    const std::string type = cell.substr(colon + 1);
    if (type == "Integer") {
        c.type = ColumnType::Integer;
    } else if (type == "Long") {
        c.type = ColumnType::Long;
    } else if (type == "YesNo") {
        c.type = ColumnType::YesNo;
    } else if (type == "Text") {
        c.type = ColumnType::Text;
        c.textLength = 255;
    } else if (type.size() > 6 && type.compare(0, 5, "Text(") == 0 && type.back() == ')') {
        const std::string digits = type.substr(5, type.size() - 6);
        int n = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
        if (ec != std::errc() || end != digits.data() + digits.size() || n < 1 || n > 255) {
            fail(lineError(1, "column " + inQuotes(c.name) + ": text length must be 1..255, not " +
                                  inQuotes(digits)));
        }
        c.type = ColumnType::Text;
        c.textLength = n;
    } else {
        fail(lineError(1, "column " + inQuotes(c.name) + ": unknown type " + inQuotes(type) +
                              " (Text(N), Integer, Long, YesNo)"));
    }
    return c;
}

// Undoes \t \n \r \\; a whole cell of \N is NULL.
Value parseCell(const Column& column, const std::string& raw, std::size_t line) {
    const std::string where = "column " + inQuotes(column.name);
    if (raw == "\\N") {
        return std::nullopt;
    }
    std::string text;
    text.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            text.push_back(raw[i]);
            continue;
        }
        if (i + 1 == raw.size()) {
            fail(lineError(line, where + ": bad escape: a lone \\ at the end of the cell"));
        }
        const char e = raw[++i];
        switch (e) {
        case 't':
            text.push_back('\t');
            break;
        case 'n':
            text.push_back('\n');
            break;
        case 'r':
            text.push_back('\r');
            break;
        case '\\':
            text.push_back('\\');
            break;
        default:
            fail(lineError(line, where + ": bad escape \\" + std::string(1, e)));
        }
    }
    Value value;
    switch (column.type) {
    case ColumnType::Text:
        value = text;
        break;
    case ColumnType::Integer:
    case ColumnType::Long: {
        std::int64_t n = 0;
        const char* b = text.data();
        const char* e = text.data() + text.size();
        if (b != e && *b == '+') {
            ++b;
        }
        const auto [end, ec] = std::from_chars(b, e, n);
        if (text.empty() || ec != std::errc() || end != e) {
            fail(lineError(line, where + ": " + inQuotes(text) + " is not a whole number"));
        }
        value = n;
        break;
    }
    case ColumnType::YesNo:
        if (text == "1" || text == "true" || text == "TRUE" || text == "True") {
            value = true;
        } else if (text == "0" || text == "false" || text == "FALSE" || text == "False") {
            value = false;
        } else {
            fail(lineError(line, where + ": " + inQuotes(text) + " is not 1, 0, true or false"));
        }
        break;
    }
    const std::string error = checkValue(column, value, nullptr);
    if (!error.empty()) {
        fail(lineError(line, where + ": " + error));
    }
    return value;
}

} // namespace

Table readTypedTsv(const std::string& tableName, const std::string& tsvText) {
    std::string_view text(tsvText);
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        start = end + 1;
    }
    if (lines.empty() || lines[0].empty()) {
        fail(lineError(1, "missing header (name:Type, separated by tabs)"));
    }
    Table table;
    table.name = tableName;
    const std::vector<std::string> header = splitTabs(lines[0]);
    for (std::size_t i = 0; i < header.size(); ++i) {
        table.columns.push_back(parseHeaderCell(header[i], i));
    }
    try {
        checkColumns(tableName, table.columns);
    } catch (const std::invalid_argument& e) {
        fail(lineError(1, e.what()));
    }
    for (std::size_t l = 1; l < lines.size(); ++l) {
        const std::vector<std::string> cells = splitTabs(lines[l]);
        if (cells.size() != table.columns.size()) {
            fail(lineError(l + 1, std::to_string(cells.size()) + " cells for " +
                                      std::to_string(table.columns.size()) + " columns"));
        }
        Row row;
        row.reserve(cells.size());
        for (std::size_t c = 0; c < cells.size(); ++c) {
            row.push_back(parseCell(table.columns[c], cells[c], l + 1));
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

} // namespace jetwriter
