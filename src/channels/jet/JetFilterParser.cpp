#include "channels/jet/JetFilter.h"

#include "channels/jet/JetText.h"

#include <cctype>
#include <optional>

namespace zorvast::channels::jet {

namespace {

bool isNameChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || u >= 0x80;
}

bool keywordIs(std::string_view word, std::string_view keyword) {
    return equalsTextFolded(word, keyword);
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    std::shared_ptr<FilterNode> parse() {
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
    std::shared_ptr<FilterNode> parseChain() {
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
            auto node = std::make_shared<FilterNode>();
            node->kind = kind;
            node->left = std::move(left);
            node->right = std::move(right);
            left = std::move(node);
        }
        return left;
    }

    std::shared_ptr<FilterNode> parseTerm() {
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

    std::shared_ptr<FilterNode> parseComparison() {
        skipBlanks();
        // Binding and evaluation recurse along and/or chains: keep them short.
        if (++clauses_ > kMaxFilterClauses) {
            fail("more than " + std::to_string(kMaxFilterClauses) + " clauses");
            return nullptr;
        }
        auto node = std::make_shared<FilterNode>();
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
        const auto number = readFilterNumber(word);
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
        while (pos_ < text_.size() && isFilterBlank(text_[pos_])) {
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

} // namespace

ParsedFilter parseFilter(std::string_view text) {
    ParsedFilter result;
    if (text.size() > kMaxFilterLength) {
        result.error = "the filter is longer than " + std::to_string(kMaxFilterLength) + " bytes";
        return result;
    }
    bool onlyBlanks = true;
    for (char c : text) {
        onlyBlanks = onlyBlanks && isFilterBlank(c);
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
    result.ok = true;
    result.expr = FilterExpr(std::move(root));
    return result;
}

} // namespace zorvast::channels::jet
