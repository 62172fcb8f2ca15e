// Filter criteria in the syntax of a recordset filter: clauses `field op value` joined by
// `and`/`or` (no precedence between them: read left to right, parentheses group), with
// op one of = <> < > <= >= like; texts in single quotes with '' for a quote; numbers;
// True/False. Parsing and evaluation are pure: no file, no engine.
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
    std::string text; // Text: the value with its quotes undone; Number: as written
    double number = 0.0;
    bool boolean = false;
};

struct FilterNode {
    enum class Kind { Compare, And, Or } kind = Kind::Compare;
    // Compare
    std::string field;
    int fieldIndex = -1; // set when the filter is bound to a table
    FieldKind fieldKind = FieldKind::Text;
    CompareOp op = CompareOp::Equal;
    FilterLiteral value;
    // And / Or
    std::unique_ptr<FilterNode> left;
    std::unique_ptr<FilterNode> right;
};

// A parsed, bound filter; an empty filter (no root) lets every row through.
class Filter {
public:
    Filter() = default;
    explicit Filter(std::unique_ptr<FilterNode> root) : root_(std::move(root)) {}

    bool isEmpty() const { return root_ == nullptr; }
    bool matches(const std::vector<FieldValue>& row) const;

    FilterNode* root() { return root_.get(); }

private:
    std::shared_ptr<FilterNode> root_;
};

struct FilterResult {
    bool ok = false;
    std::string error; // why the text was refused: position and reason
    Filter filter;
};

// Bounds on filter text, so parsing and evaluation stay shallow whatever is typed: deeper
// nesting, longer text or more clauses make a malformed filter.
inline constexpr std::size_t kMaxFilterLength = 64 * 1024;
inline constexpr int kMaxFilterNesting = 64;
inline constexpr int kMaxFilterClauses = 1024;

// Parses `text` and binds it to the table's fields: unknown fields, values of the wrong
// type for a field and malformed text are refused with a reason. "" gives the empty filter.
FilterResult compileFilter(std::string_view text, const std::vector<FieldInfo>& fields);

} // namespace zorvast::channels::jet
