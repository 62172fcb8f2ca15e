#include "channels/jet/JetCursor.h"

#include "channels/jet/JetQuery.h"
#include "channels/jet/JetText.h"
#include "common/Numbers.h"

#include <cstdio>

namespace zorvast::channels::jet {

std::string orderedQueryText(std::string_view table, std::string_view ordering) {
    std::string sql = "select * from ";
    sql.append(table);
    sql += " order by ";
    sql.append(ordering);
    return sql;
}

bool JetCursor::openTable(const std::string& name) {
    return load(name, {});
}

bool JetCursor::openQuery(const std::string& sql) {
    const SelectQuery query = parseSelectQuery(sql);
    if (!query.ok) {
        close();
        lastError_ = query.error;
        return false;
    }
    return load(query.table, query.order);
}

bool JetCursor::load(const std::string& table, const std::vector<OrderKey>& order) {
    close();
    if (!connection_ || !connection_->isOpen()) {
        lastError_ = "no open connection";
        return false;
    }
    auto data = connection_->loadTable(table);
    if (!data) {
        lastError_ = connection_->lastError();
        return false;
    }
    table_ = std::move(*data);
    if (!orderRows(table_, order, ordered_, lastError_)) {
        table_ = {};
        ordered_.clear();
        return false;
    }
    visible_ = ordered_;
    position_ = 0;
    nextField_ = 0;
    namesDistinct_ = true;
    for (std::size_t i = 0; i < table_.fields.size() && namesDistinct_; ++i) {
        for (std::size_t j = i + 1; j < table_.fields.size(); ++j) {
            if (equalsTextFolded(table_.fields[i].name, table_.fields[j].name)) {
                namesDistinct_ = false;
                break;
            }
        }
    }
    open_ = true;
    return true;
}

void JetCursor::close() {
    open_ = false;
    table_ = {};
    ordered_.clear();
    visible_.clear();
    filter_ = Filter();
    position_ = 0;
    lastError_.clear();
}

bool JetCursor::setFilter(std::string_view criterion) {
    return applyFilter(open_ ? compileFilter(criterion, table_.fields) : FilterResult{});
}

bool JetCursor::setFilter(const FilterExpr& filter) {
    return applyFilter(open_ ? bindFilter(filter, table_.fields) : FilterResult{});
}

bool JetCursor::applyFilter(FilterResult compiled) {
    if (!open_) {
        lastError_ = "the cursor is not open";
        return false;
    }
    position_ = 0;
    if (!compiled.ok) {
        lastError_ = compiled.error;
        return false;
    }
    lastError_.clear();
    filter_ = std::move(compiled.filter);
    if (filter_.isEmpty()) {
        visible_ = ordered_;
        return true;
    }
    visible_.clear();
    for (std::size_t row : ordered_) {
        if (filter_.matches(table_.rows[row])) {
            visible_.push_back(row);
        }
    }
    return true;
}

int JetCursor::fieldIndex(std::string_view field) const {
    // Readers ask for the same fields in the same order row after row: the field after the
    // last one asked for is tried first. Only with names that cannot match twice, so the
    // answer is always the one a search from the start gives.
    const std::size_t count = table_.fields.size();
    if (namesDistinct_ && nextField_ < count && table_.fields[nextField_].name == field) {
        const std::size_t index = nextField_;
        nextField_ = index + 1 < count ? index + 1 : 0;
        return static_cast<int>(index);
    }
    const int index = table_.fieldIndex(field);
    if (index >= 0) {
        nextField_ = static_cast<std::size_t>(index) + 1 < count ? index + 1 : 0;
    }
    return index;
}

const FieldValue* JetCursor::current(std::string_view field, FieldKind* kind) const {
    if (!open_ || atEnd()) {
        return nullptr;
    }
    const int index = fieldIndex(field);
    if (index < 0) {
        return nullptr;
    }
    *kind = table_.fields[static_cast<std::size_t>(index)].kind;
    return &table_.rows[visible_[position_]][static_cast<std::size_t>(index)];
}

template <typename T>
std::optional<T> JetCursor::readAs(std::string_view field,
                                   T (*convert)(const FieldValue&, FieldKind)) const {
    FieldKind kind = FieldKind::Text;
    const FieldValue* value = current(field, &kind);
    if (!value) {
        return std::nullopt;
    }
    return convert(*value, kind);
}

namespace {

std::string textOf(const FieldValue& value, FieldKind kind) {
    if (kind == FieldKind::Boolean) {
        return value.integer != 0 ? "True" : "False";
    }
    return value.text;
}

std::int64_t integerOf(const FieldValue& value, FieldKind kind) {
    switch (kind) {
    case FieldKind::Integer:
        return value.integer;
    case FieldKind::Boolean:
        return value.integer != 0 ? -1 : 0;
    case FieldKind::Real:
        return common::truncateToInteger(value.real);
    case FieldKind::Text:
    case FieldKind::Other:
        break;
    }
    return common::parseLeadingInteger(value.text);
}

bool booleanOf(const FieldValue& value, FieldKind kind) {
    switch (kind) {
    case FieldKind::Integer:
    case FieldKind::Boolean:
        return value.integer != 0;
    case FieldKind::Real:
        return value.real != 0.0;
    case FieldKind::Text:
    case FieldKind::Other:
        break;
    }
    if (equalsTextFolded(value.text, "true") || equalsTextFolded(value.text, "yes")) {
        return true;
    }
    return common::parseLeadingNumber(value.text) != 0.0;
}

} // namespace

std::optional<std::string> JetCursor::readText(std::string_view field) const {
    return readAs(field, textOf);
}

std::optional<std::int64_t> JetCursor::readInteger(std::string_view field) const {
    return readAs(field, integerOf);
}

std::optional<bool> JetCursor::readBoolean(std::string_view field) const {
    return readAs(field, booleanOf);
}

} // namespace zorvast::channels::jet
