#include "channels/jet/JetFilter.h"

#include "channels/jet/JetText.h"
#include "common/Numbers.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace zorvast::channels::jet {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isNameChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || u >= 0x80;
}

bool keywordIs(std::string_view word, std::string_view keyword) {
    return equalsTextFolded(word, keyword);
}

// A number in full, as a filter writes it: optional sign, digits, point, exponent.
std::optional<double> parseWholeNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    std::size_t end = text.size();
    while (end > i && isBlank(text[end - 1])) {
        --end;
    }
    const std::string_view core = text.substr(i, end - i);
    if (core.empty()) {
        return std::nullopt;
    }
    std::size_t p = 0;
    if (core[p] == '+' || core[p] == '-') {
        ++p;
    }
    std::size_t digits = 0;
    while (p < core.size() && std::isdigit(static_cast<unsigned char>(core[p]))) {
        ++p;
        ++digits;
    }
    if (p < core.size() && core[p] == '.') {
        ++p;
        while (p < core.size() && std::isdigit(static_cast<unsigned char>(core[p]))) {
            ++p;
            ++digits;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (p < core.size() && (core[p] == 'e' || core[p] == 'E')) {
        std::size_t q = p + 1;
        if (q < core.size() && (core[q] == '+' || core[q] == '-')) {
            ++q;
        }
        std::size_t expDigits = 0;
        while (q < core.size() && std::isdigit(static_cast<unsigned char>(core[q]))) {
            ++q;
            ++expDigits;
        }
        if (expDigits == 0) {
            return std::nullopt;
        }
        p = q;
    }
    if (p != core.size()) {
        return std::nullopt;
    }
    return common::parseLeadingNumber(core);
}

std::optional<bool> parseBooleanText(std::string_view text) {
    if (keywordIs(text, "true") || keywordIs(text, "yes") || keywordIs(text, "on")) {
        return true;
    }
    if (keywordIs(text, "false") || keywordIs(text, "no") || keywordIs(text, "off")) {
        return false;
    }
    if (const auto n = parseWholeNumber(text)) {
        return *n != 0.0;
    }
    return std::nullopt;
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    std::unique_ptr<FilterNode> parse() {
        auto node = parseChain();
        if (node && (skipBlanks(), pos_ < text_.size())) {
            fail("unexpected text");
            return nullptr;
        }
        return node;
    }

    const std::string& error() const { return error_; }

private:
    // Clauses joined by and/or, left to right: ADO gives neither a precedence.
    std::unique_ptr<FilterNode> parseChain() {
        auto left = parseTerm();
        while (left) {
            skipBlanks();
            const std::size_t mark = pos_;
            const std::string_view word = readWord();
            FilterNode::Kind kind;
            if (keywordIs(word, "and")) {
                kind = FilterNode::Kind::And;
            } else if (keywordIs(word, "or")) {
                kind = FilterNode::Kind::Or;
            } else {
                pos_ = mark;
                break;
            }
            auto right = parseTerm();
            if (!right) {
                return nullptr;
            }
            auto node = std::make_unique<FilterNode>();
            node->kind = kind;
            node->left = std::move(left);
            node->right = std::move(right);
            left = std::move(node);
        }
        return left;
    }

    std::unique_ptr<FilterNode> parseTerm() {
        skipBlanks();
        if (pos_ < text_.size() && text_[pos_] == '(') {
            if (depth_ == kMaxFilterNesting) {
                fail("parentheses nested deeper than " + std::to_string(kMaxFilterNesting));
                return nullptr;
            }
            ++pos_;
            ++depth_;
            auto inner = parseChain();
            --depth_;
            if (!inner) {
                return nullptr;
            }
            skipBlanks();
            if (pos_ >= text_.size() || text_[pos_] != ')') {
                fail("missing ')'");
                return nullptr;
            }
            ++pos_;
            return inner;
        }
        return parseComparison();
    }

    std::unique_ptr<FilterNode> parseComparison() {
        skipBlanks();
        // Binding and evaluation recurse along and/or chains: keep them short.
        if (++clauses_ > kMaxFilterClauses) {
            fail("more than " + std::to_string(kMaxFilterClauses) + " clauses");
            return nullptr;
        }
        auto node = std::make_unique<FilterNode>();
        if (pos_ < text_.size() && text_[pos_] == '[') {
            const std::size_t close = text_.find(']', pos_ + 1);
            if (close == std::string_view::npos) {
                fail("missing ']'");
                return nullptr;
            }
            node->field = std::string(text_.substr(pos_ + 1, close - pos_ - 1));
            pos_ = close + 1;
        } else {
            node->field = std::string(readWord());
        }
        if (node->field.empty()) {
            fail("field name expected");
            return nullptr;
        }
        if (!parseOperator(node->op)) {
            return nullptr;
        }
        if (!parseLiteral(node->value)) {
            return nullptr;
        }
        return node;
    }

    bool parseOperator(CompareOp& op) {
        skipBlanks();
        auto take = [&](std::string_view symbol, CompareOp result) {
            if (text_.substr(pos_, symbol.size()) == symbol) {
                pos_ += symbol.size();
                op = result;
                return true;
            }
            return false;
        };
        if (take("<=", CompareOp::LessOrEqual) || take(">=", CompareOp::GreaterOrEqual) ||
            take("<>", CompareOp::NotEqual) || take("=", CompareOp::Equal) ||
            take("<", CompareOp::Less) || take(">", CompareOp::Greater)) {
            return true;
        }
        const std::size_t mark = pos_;
        if (keywordIs(readWord(), "like")) {
            op = CompareOp::Like;
            return true;
        }
        pos_ = mark;
        fail("operator expected");
        return false;
    }

    bool parseLiteral(FilterLiteral& value) {
        skipBlanks();
        if (pos_ >= text_.size()) {
            fail("value expected");
            return false;
        }
        const char c = text_[pos_];
        if (c == '\'') {
            value.kind = FilterLiteral::Kind::Text;
            ++pos_;
            while (true) {
                if (pos_ >= text_.size()) {
                    fail("unterminated text");
                    return false;
                }
                if (text_[pos_] == '\'') {
                    if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
                        value.text.push_back('\'');
                        pos_ += 2;
                        continue;
                    }
                    ++pos_;
                    return true;
                }
                value.text.push_back(text_[pos_++]);
            }
        }
        if (c == '#') {
            fail("dates are not supported");
            return false;
        }
        const std::size_t start = pos_;
        if (c == '+' || c == '-') {
            ++pos_;
        }
        while (pos_ < text_.size() && (isNameChar(text_[pos_]) || text_[pos_] == '.' ||
                                       ((text_[pos_] == '+' || text_[pos_] == '-') &&
                                        (text_[pos_ - 1] == 'e' || text_[pos_ - 1] == 'E')))) {
            ++pos_;
        }
        const std::string_view word = text_.substr(start, pos_ - start);
        if (keywordIs(word, "true") || keywordIs(word, "false")) {
            value.kind = FilterLiteral::Kind::Boolean;
            value.boolean = keywordIs(word, "true");
            value.text = std::string(word);
            return true;
        }
        if (keywordIs(word, "null")) {
            pos_ = start;
            fail("a value cannot be null");
            return false;
        }
        const auto number = parseWholeNumber(word);
        if (!number) {
            pos_ = start;
            fail("value expected");
            return false;
        }
        value.kind = FilterLiteral::Kind::Number;
        value.number = *number;
        value.text = std::string(word);
        return true;
    }

    std::string_view readWord() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && isNameChar(text_[pos_])) {
            ++pos_;
        }
        return text_.substr(start, pos_ - start);
    }

    void skipBlanks() {
        while (pos_ < text_.size() && isBlank(text_[pos_])) {
            ++pos_;
        }
    }

    void fail(const std::string& why) {
        if (error_.empty()) {
            error_ = why + " at position " + std::to_string(pos_ + 1);
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int depth_ = 0;
    int clauses_ = 0;
    std::string error_;
};

// Checks the value against the field's kind once, so evaluation never meets a mismatch.
bool bind(FilterNode& node, const std::vector<FieldInfo>& fields, std::string& error) {
    if (node.kind != FilterNode::Kind::Compare) {
        return bind(*node.left, fields, error) && bind(*node.right, fields, error);
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (equalsTextFolded(fields[i].name, node.field)) {
            node.fieldIndex = static_cast<int>(i);
            break;
        }
    }
    if (node.fieldIndex < 0) {
        error = "unknown field '" + node.field + "'";
        return false;
    }
    const FieldKind kind = fields[static_cast<std::size_t>(node.fieldIndex)].kind;
    node.fieldKind = kind;
    FilterLiteral& value = node.value;
    if (node.op == CompareOp::Like) {
        if (value.kind != FilterLiteral::Kind::Text) {
            error = "like needs a quoted pattern for field '" + node.field + "'";
            return false;
        }
        return true;
    }
    switch (kind) {
    case FieldKind::Integer:
    case FieldKind::Real:
        if (value.kind == FilterLiteral::Kind::Text) {
            const auto number = parseWholeNumber(value.text);
            if (!number) {
                error = "type mismatch: field '" + node.field + "' is a number";
                return false;
            }
            value.kind = FilterLiteral::Kind::Number;
            value.number = *number;
        } else if (value.kind == FilterLiteral::Kind::Boolean) {
            value.kind = FilterLiteral::Kind::Number;
            value.number = value.boolean ? -1.0 : 0.0;
        }
        return true;
    case FieldKind::Boolean:
        if (value.kind == FilterLiteral::Kind::Text) {
            const auto flag = parseBooleanText(value.text);
            if (!flag) {
                error = "type mismatch: field '" + node.field + "' is Yes/No";
                return false;
            }
            value.kind = FilterLiteral::Kind::Boolean;
            value.boolean = *flag;
        } else if (value.kind == FilterLiteral::Kind::Number &&
                   (node.op == CompareOp::Equal || node.op == CompareOp::NotEqual)) {
            // Any non-zero number stands for True, as Jet stores True as -1.
            value.kind = FilterLiteral::Kind::Boolean;
            value.boolean = value.number != 0.0;
        }
        return true;
    case FieldKind::Text:
    case FieldKind::Other:
        if (value.kind == FilterLiteral::Kind::Number) {
            value.kind = FilterLiteral::Kind::Text;
            value.text = common::formatDouble(value.number);
        } else if (value.kind == FilterLiteral::Kind::Boolean) {
            value.kind = FilterLiteral::Kind::Text;
            value.text = value.boolean ? "True" : "False";
        }
        return true;
    }
    return true;
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

bool evaluate(const FilterNode& node, const std::vector<FieldValue>& row) {
    switch (node.kind) {
    case FilterNode::Kind::And:
        return evaluate(*node.left, row) && evaluate(*node.right, row);
    case FilterNode::Kind::Or:
        return evaluate(*node.left, row) || evaluate(*node.right, row);
    case FilterNode::Kind::Compare:
        break;
    }
    const FieldValue& field = row[static_cast<std::size_t>(node.fieldIndex)];
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

FilterResult compileFilter(std::string_view text, const std::vector<FieldInfo>& fields) {
    FilterResult result;
    if (text.size() > kMaxFilterLength) {
        result.error = "the filter is longer than " + std::to_string(kMaxFilterLength) + " bytes";
        return result;
    }
    bool onlyBlanks = true;
    for (char c : text) {
        onlyBlanks = onlyBlanks && isBlank(c);
    }
    if (onlyBlanks) {
        result.ok = true;
        return result;
    }
    Parser parser(text);
    auto root = parser.parse();
    if (!root) {
        result.error = parser.error().empty() ? "malformed filter" : parser.error();
        return result;
    }
    if (!bind(*root, fields, result.error)) {
        return result;
    }
    result.ok = true;
    result.filter = Filter(std::move(root));
    return result;
}

} // namespace zorvast::channels::jet
