// The one query form the program issues: "select * from TABLE order by KEYS", where KEYS
// is a comma list of fields, each optionally followed by asc or desc.
#pragma once

#include "channels/jet/JetTable.h"

#include <string>
#include <string_view>
#include <vector>

namespace zorvast::channels::jet {

struct OrderKey {
    std::string field;
    bool descending = false;
};

struct SelectQuery {
    bool ok = false;
    std::string error;
    std::string table;
    std::vector<OrderKey> order;
};

SelectQuery parseSelectQuery(std::string_view sql);

// Row indexes of `table` in the given order: a stable sort, so rows with equal keys keep
// table order. Texts compare as filters compare them, NULL before any value. Fails (false,
// with a reason) on an unknown field.
bool orderRows(const TableData& table, const std::vector<OrderKey>& order,
               std::vector<std::size_t>& rowsOut, std::string& error);

} // namespace zorvast::channels::jet
