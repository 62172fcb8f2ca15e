#include "JetValidation.h"
#include "JetFormat.h"
#include "JetTextEncoding.h"

#include <algorithm>
#include <variant>

namespace jetwriter::detail {

namespace {

constexpr std::size_t kMaxNameUnits = 64;
constexpr std::size_t kMaxColumns = 255;

bool knownType(ColumnType t) {
    return t == ColumnType::Text || t == ColumnType::Integer || t == ColumnType::Long ||
           t == ColumnType::YesNo;
}

} // namespace

std::u16string checkName(const std::string& name, const std::string& what) {
    std::u16string units;
    std::string error;
    if (name.empty()) {
        fail(what + " name is empty");
    }
    if (!toUtf16(name, units, error)) {
        fail(what + " name " + inQuotes(name) + ": " + error);
    }
    if (units.size() > kMaxNameUnits) {
        fail(what + " name " + inQuotes(name) + " is longer than 64 characters");
    }
    for (char16_t u : units) {
        if (u < 0x20 || u == 0x7F) {
            fail(what + " name " + inQuotes(name) + " contains a control character");
        }
    }
    if (units.front() == 0xFEFF) {
        fail(what + " name " + inQuotes(name) + " starts with U+FEFF");
    }
    return units;
}

const char* typeName(ColumnType t) {
    switch (t) {
    case ColumnType::Text:
        return "Text";
    case ColumnType::Integer:
        return "Integer";
    case ColumnType::Long:
        return "Long";
    case ColumnType::YesNo:
        return "YesNo";
    }
    return "unknown";
}

std::string checkValue(const Column& column, const Value& value, std::u16string* text) {
    if (!value) {
        return {};
    }
    switch (column.type) {
    case ColumnType::Text: {
        const auto* s = std::get_if<std::string>(&*value);
        if (!s) {
            return "a Text column needs a text value";
        }
        std::u16string units;
        std::string error;
        if (!toUtf16(*s, units, error)) {
            return "text " + error;
        }
        if (units.size() > static_cast<std::size_t>(column.textLength)) {
            return "text of " + std::to_string(units.size()) + " characters is longer than " +
                   std::to_string(column.textLength);
        }
        if (!units.empty() && units.front() == 0xFEFF) {
            return "text starts with U+FEFF, which readers take for the compression mark";
        }
        if (text) {
            *text = std::move(units);
        }
        return {};
    }
    case ColumnType::Integer:
    case ColumnType::Long: {
        const auto* n = std::get_if<std::int64_t>(&*value);
        if (!n) {
            return std::string("an ") + typeName(column.type) + " column needs a number";
        }
        const bool small = column.type == ColumnType::Integer;
        const std::int64_t lo = small ? -32768 : -2147483648LL;
        const std::int64_t hi = small ? 32767 : 2147483647LL;
        if (*n < lo || *n > hi) {
            return std::to_string(*n) + " is out of range for " + typeName(column.type) + " (" +
                   std::to_string(lo) + ".." + std::to_string(hi) + ")";
        }
        return {};
    }
    case ColumnType::YesNo:
        if (!std::holds_alternative<bool>(*value)) {
            return "a YesNo column needs true or false";
        }
        return {};
    }
    return "unknown column type";
}

void checkColumns(const std::string& tableName, const std::vector<Column>& columns) {
    if (columns.empty()) {
        fail("table " + inQuotes(tableName) + " has no columns");
    }
    if (columns.size() > kMaxColumns) {
        fail("table " + inQuotes(tableName) + " has more than 255 columns");
    }
    std::vector<std::u16string> seen;
    for (const Column& c : columns) {
        const std::u16string units = checkName(c.name, "table " + inQuotes(tableName) + ": column");
        const std::u16string key = lowerAscii(units);
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
            fail("table " + inQuotes(tableName) + ": duplicate column name " + inQuotes(c.name));
        }
        seen.push_back(key);
        if (!knownType(c.type)) {
            fail("table " + inQuotes(tableName) + ", column " + inQuotes(c.name) +
                 ": unknown type");
        }
        if (c.type == ColumnType::Text && (c.textLength < 1 || c.textLength > 255)) {
            fail("table " + inQuotes(tableName) + ", column " + inQuotes(c.name) +
                 ": text length must be 1..255, not " + std::to_string(c.textLength));
        }
    }
}

} // namespace jetwriter::detail
