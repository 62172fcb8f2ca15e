#include "channels/jet/JetFilter.h"

#include "channels/jet/JetText.h"
#include "common/Numbers.h"

namespace zorvast::channels::jet {

// A comparison checked against its table: the field's index and kind, the value converted to
// what the field compares with.
struct BoundNode {
    FilterNode::Kind kind = FilterNode::Kind::Compare;
    // Compare
    std::size_t field = 0;
    FieldKind fieldKind = FieldKind::Text;
    CompareOp op = CompareOp::Equal;
    FilterLiteral value;
    // And / Or
    std::unique_ptr<const BoundNode> left;
    std::unique_ptr<const BoundNode> right;
};

FilterLiteral FilterLiteral::ofText(std::string value) {
    FilterLiteral literal;
    literal.kind = Kind::Text;
    literal.text = std::move(value);
    return literal;
}

FilterLiteral FilterLiteral::ofNumber(double value) {
    FilterLiteral literal;
    literal.kind = Kind::Number;
    literal.number = value;
    return literal;
}

FilterLiteral FilterLiteral::ofBoolean(bool value) {
    FilterLiteral literal;
    literal.kind = Kind::Boolean;
    literal.boolean = value;
    return literal;
}

FilterExpr compare(std::string field, CompareOp op, FilterLiteral value) {
    auto node = std::make_shared<FilterNode>();
    node->field = std::move(field);
    node->op = op;
    node->value = std::move(value);
    return FilterExpr(std::move(node));
}

FilterExpr allOf(const std::vector<FilterExpr>& clauses) {
    FilterExpr result;
    for (const FilterExpr& clause : clauses) {
        if (clause.isEmpty()) {
            continue;
        }
        if (result.isEmpty()) {
            result = clause;
            continue;
        }
        auto node = std::make_shared<FilterNode>();
        node->kind = FilterNode::Kind::And;
        node->left = result.root();
        node->right = clause.root();
        result = FilterExpr(std::move(node));
    }
    return result;
}

namespace {

// A quoted value given to a number or Yes/No field, read as that field's kind.
bool readTextAs(FieldKind kind, const std::string& field, FilterLiteral& value,
                std::string& error) {
    if (kind == FieldKind::Boolean) {
        if (const auto flag = readFilterYesNo(value.text)) {
            value = FilterLiteral::ofBoolean(*flag);
            return true;
        }
        error = "type mismatch: field '" + field + "' is Yes/No";
        return false;
    }
    if (const auto number = readFilterNumber(value.text)) {
        value = FilterLiteral::ofNumber(*number);
        return true;
    }
    error = "type mismatch: field '" + field + "' is a number";
    return false;
}

// The value as the field compares it, so evaluation never meets a mismatch.
bool convertValue(FieldKind kind, CompareOp op, const std::string& field, FilterLiteral& value,
                  std::string& error) {
    using Kind = FilterLiteral::Kind;
    if (op == CompareOp::Like) {
        if (value.kind != Kind::Text) {
            error = "like needs a quoted pattern for field '" + field + "'";
            return false;
        }
        return true;
    }
    switch (kind) {
    case FieldKind::Integer:
    case FieldKind::Real:
        if (value.kind == Kind::Text) {
            return readTextAs(kind, field, value, error);
        }
        if (value.kind == Kind::Boolean) {
            value = FilterLiteral::ofNumber(value.boolean ? -1.0 : 0.0);
        }
        return true;
    case FieldKind::Boolean:
        if (value.kind == Kind::Text) {
            return readTextAs(kind, field, value, error);
        }
        if (value.kind == Kind::Number && (op == CompareOp::Equal || op == CompareOp::NotEqual)) {
            // Any non-zero number stands for True, as Jet stores True as -1.
            value = FilterLiteral::ofBoolean(value.number != 0.0);
        }
        return true;
    case FieldKind::Text:
    case FieldKind::Other:
        if (value.kind == Kind::Number) {
            value = FilterLiteral::ofText(common::formatDouble(value.number));
        } else if (value.kind == Kind::Boolean) {
            value = FilterLiteral::ofText(value.boolean ? "True" : "False");
        }
        return true;
    }
    return true;
}

// Binding and evaluation recurse along and/or chains: `clauses` keeps them short.
std::unique_ptr<const BoundNode> bind(const FilterNode& node, const std::vector<FieldInfo>& fields,
                                      int& clauses, std::string& error) {
    auto bound = std::make_unique<BoundNode>();
    bound->kind = node.kind;
    if (node.kind != FilterNode::Kind::Compare) {
        bound->left = bind(*node.left, fields, clauses, error);
        bound->right = bound->left ? bind(*node.right, fields, clauses, error) : nullptr;
        return bound->right ? std::move(bound) : nullptr;
    }
    if (++clauses > kMaxFilterClauses) {
        error = "more than " + std::to_string(kMaxFilterClauses) + " clauses";
        return nullptr;
    }
    std::size_t index = 0;
    while (index < fields.size() && !equalsTextFolded(fields[index].name, node.field)) {
        ++index;
    }
    if (index == fields.size()) {
        error = "unknown field '" + node.field + "'";
        return nullptr;
    }
    bound->field = index;
    bound->fieldKind = fields[index].kind;
    bound->op = node.op;
    bound->value = node.value;
    if (!convertValue(bound->fieldKind, node.op, node.field, bound->value, error)) {
        return nullptr;
    }
    return bound;
}

bool orderMatches(CompareOp op, int order) {
    switch (op) {
    case CompareOp::Equal:
        return order == 0;
    case CompareOp::NotEqual:
        return order != 0;
    case CompareOp::Less:
        return order < 0;
    case CompareOp::Greater:
        return order > 0;
    case CompareOp::LessOrEqual:
        return order <= 0;
    case CompareOp::GreaterOrEqual:
        return order >= 0;
    case CompareOp::Like:
        return false;
    }
    return false;
}

int compareNumbers(double a, double b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

double numericValue(FieldKind kind, const FieldValue& field) {
    switch (kind) {
    case FieldKind::Integer:
        return static_cast<double>(field.integer);
    case FieldKind::Real:
        return field.real;
    case FieldKind::Boolean:
        return field.integer != 0 ? -1.0 : 0.0;
    case FieldKind::Text:
    case FieldKind::Other:
        break;
    }
    return common::parseLeadingNumber(field.text);
}

bool evaluate(const BoundNode& node, const std::vector<FieldValue>& row) {
    switch (node.kind) {
    case FilterNode::Kind::And:
        return evaluate(*node.left, row) && evaluate(*node.right, row);
    case FilterNode::Kind::Or:
        return evaluate(*node.left, row) || evaluate(*node.right, row);
    case FilterNode::Kind::Compare:
        break;
    }
    const FieldValue& field = row[node.field];
    const FilterLiteral& value = node.value;
    if (node.op == CompareOp::Like) {
        // A missing text is the empty text; a missing number matches nothing.
        return (!field.isNull || field.text.empty()) && likeMatches(field.text, value.text);
    }
    switch (value.kind) {
    case FilterLiteral::Kind::Text:
        return orderMatches(node.op, compareTextFolded(field.text, value.text));
    case FilterLiteral::Kind::Number:
        if (field.isNull) {
            return false;
        }
        return orderMatches(node.op,
                            compareNumbers(numericValue(node.fieldKind, field), value.number));
    case FilterLiteral::Kind::Boolean: {
        if (field.isNull) {
            return false;
        }
        const bool flag = field.integer != 0;
        if (node.op == CompareOp::Equal) {
            return flag == value.boolean;
        }
        if (node.op == CompareOp::NotEqual) {
            return flag != value.boolean;
        }
        return orderMatches(node.op, compareNumbers(flag ? -1.0 : 0.0, value.boolean ? -1.0 : 0.0));
    }
    }
    return false;
}

} // namespace

bool Filter::matches(const std::vector<FieldValue>& row) const {
    return !root_ || evaluate(*root_, row);
}

FilterResult bindFilter(const FilterExpr& expr, const std::vector<FieldInfo>& fields) {
    FilterResult result;
    if (expr.isEmpty()) {
        result.ok = true;
        return result;
    }
    int clauses = 0;
    std::unique_ptr<const BoundNode> root = bind(*expr.root(), fields, clauses, result.error);
    if (!root) {
        return result;
    }
    result.ok = true;
    result.filter = Filter(std::move(root));
    return result;
}

FilterResult compileFilter(std::string_view text, const std::vector<FieldInfo>& fields) {
    ParsedFilter parsed = parseFilter(text);
    if (!parsed.ok) {
        FilterResult result;
        result.error = std::move(parsed.error);
        return result;
    }
    return bindFilter(parsed.expr, fields);
}

} // namespace zorvast::channels::jet
