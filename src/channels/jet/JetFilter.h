// Filters on a table's rows as values: comparisons `field op value` (op one of = <> < > <= >=
// like) joined by and/or. The program builds them directly; parseFilter reads the same from the
// text of a recordset filter, where and/or have no precedence between them (read left to
// right, parentheses group), texts stand in single quotes with '' for a quote, numbers and
// True/False as written. Either way a filter is bound to a table's fields once and evaluated by
// one evaluator. Pure: no file, no engine.
#pragma once

#include "channels/jet/JetTable.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zorvast::channels::jet {

enum class CompareOp { Equal, NotEqual, Less, Greater, LessOrEqual, GreaterOrEqual, Like };

struct FilterLiteral {
    enum class Kind { Text, Number, Boolean } kind = Kind::Text;
    std::string text; // Text: the value itself (a criterion's quotes undone)
    double number = 0.0;
    bool boolean = false;

    static FilterLiteral ofText(std::string value);
    static FilterLiteral ofNumber(double value);
    static FilterLiteral ofBoolean(bool value);
};

struct FilterNode {
    enum class Kind { Compare, And, Or } kind = Kind::Compare;
    // Compare
    std::string field;
    CompareOp op = CompareOp::Equal;
    FilterLiteral value;
    // And / Or
    std::shared_ptr<const FilterNode> left;
    std::shared_ptr<const FilterNode> right;
};

// A filter as a value; the empty one lets every row through. Copies share their nodes.
class FilterExpr {
public:
    FilterExpr() = default;
    explicit FilterExpr(std::shared_ptr<const FilterNode> root) : root_(std::move(root)) {}

    bool isEmpty() const { return root_ == nullptr; }
    const std::shared_ptr<const FilterNode>& root() const { return root_; }

private:
    std::shared_ptr<const FilterNode> root_;
};

// `field op value`.
FilterExpr compare(std::string field, CompareOp op, FilterLiteral value);
// The clauses joined by `and`, left to right as a criterion reads; empty ones are left out.
FilterExpr allOf(const std::vector<FilterExpr>& clauses);

struct BoundNode;

// A filter bound to a table's fields; the empty one lets every row through.
class Filter {
public:
    Filter() = default;
    explicit Filter(std::shared_ptr<const BoundNode> root) : root_(std::move(root)) {}

    bool isEmpty() const { return root_ == nullptr; }
    bool matches(const std::vector<FieldValue>& row) const;

private:
    std::shared_ptr<const BoundNode> root_;
};

struct FilterResult {
    bool ok = false;
    std::string error; // why the filter was refused: position and reason
    Filter filter;
};

// Bounds on filter text, so parsing and evaluation stay shallow whatever is typed: deeper
// nesting, longer text or more clauses make a malformed filter. A filter value of more clauses
// is refused when it is bound.
inline constexpr std::size_t kMaxFilterLength = 64 * 1024;
inline constexpr int kMaxFilterNesting = 64;
inline constexpr int kMaxFilterClauses = 1024;

struct ParsedFilter {
    bool ok = false;
    std::string error;
    FilterExpr expr;
};

// Malformed text is refused with its position and a reason. "" and blanks give the empty filter.
ParsedFilter parseFilter(std::string_view text);

// Binds the filter to the table's fields: unknown fields and values of the wrong type for a
// field are refused with a reason.
FilterResult bindFilter(const FilterExpr& expr, const std::vector<FieldInfo>& fields);

// parseFilter, then bindFilter.
FilterResult compileFilter(std::string_view text, const std::vector<FieldInfo>& fields);

} // namespace zorvast::channels::jet
