// What a table must be for both readers and Jet itself to take it: names, column types and
// values. Failures throw std::invalid_argument saying which table, column and value.
#pragma once

#include "JetTable.h"

#include <string>
#include <vector>

namespace jetwriter::detail {

// Names of tables and columns: what both readers and Jet itself accept.
// Returns the name in UTF-16; `what` names it in the message ("table", "column" ...).
std::u16string checkName(const std::string& name, const std::string& what);

const char* typeName(ColumnType t);

// Returns "" when the value fits the column, else why not. Text comes back in UTF-16.
// `text` may be null.
std::string checkValue(const Column& column, const Value& value, std::u16string* text);

// Count, names (unique ignoring ASCII case), types and text lengths of a table's columns.
void checkColumns(const std::string& tableName, const std::vector<Column>& columns);

} // namespace jetwriter::detail
