// The recordset the program reads through: a whole table opened by name or an ordered
// query, an optional filter, and a current row. Client-side and static: the rows are in
// memory once opened, so filtering and counting never touch the file again.
#pragma once

#include "channels/jet/JetConnection.h"
#include "channels/jet/JetFilter.h"
#include "channels/jet/JetQuery.h"
#include "channels/jet/JetTable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvast::channels::jet {

// The ordering the program reads channel rows in; orderedQueryText gives
// "select * from TABLE order by ORDERING".
inline constexpr const char* kChannelOrdering = "s_loca asc,s_freq asc,s_ch";

std::string orderedQueryText(std::string_view table, std::string_view ordering);

class JetCursor {
public:
    // The cursor reads through this connection from now on.
    void attach(JetConnection& connection) { connection_ = &connection; }

    bool openTable(const std::string& name);
    // "select * from TABLE [order by KEYS]".
    bool openQuery(const std::string& sql);
    void close();
    bool isOpen() const { return open_; }

    // "" or the empty filter removes the filter. A malformed criterion, or a filter that does
    // not fit the table's fields, leaves the current filter in place and returns false;
    // lastError() says why. Either way the cursor stands on its first row.
    bool setFilter(std::string_view criterion);
    bool setFilter(const FilterExpr& filter);

    int recordCount() const { return static_cast<int>(visible_.size()); }
    bool atEnd() const { return position_ >= visible_.size(); }
    void moveFirst() { position_ = 0; }
    void moveNext() {
        if (position_ < visible_.size()) {
            ++position_;
        }
    }

    // The current row's field: nullopt when the cursor is closed or past the last row or
    // there is no such field. A text read of a number gives its decimal digits; of a
    // Yes/No field "True" or "False"; an integer read of a text its leading number.
    std::optional<std::string> readText(std::string_view field) const;
    std::optional<std::int64_t> readInteger(std::string_view field) const;
    std::optional<bool> readBoolean(std::string_view field) const;

    const std::vector<FieldInfo>& fields() const { return table_.fields; }
    const std::string& lastError() const { return lastError_; }

private:
    const FieldValue* current(std::string_view field, FieldKind* kind) const;
    // The current row's field converted; nothing where current() finds none.
    template <typename T>
    std::optional<T> readAs(std::string_view field,
                            T (*convert)(const FieldValue&, FieldKind)) const;
    int fieldIndex(std::string_view field) const;
    bool load(const std::string& table, const std::vector<OrderKey>& order);
    bool applyFilter(FilterResult compiled);

    JetConnection* connection_ = nullptr;
    bool open_ = false;
    TableData table_;
    std::vector<std::size_t> ordered_; // table rows in cursor order
    std::vector<std::size_t> visible_; // the rows the filter lets through, in order
    Filter filter_;
    std::size_t position_ = 0;
    std::string lastError_;
    bool namesDistinct_ = false;        // no two field names equal without regard to case
    mutable std::size_t nextField_ = 0; // where the next field lookup starts
};

} // namespace zorvast::channels::jet
