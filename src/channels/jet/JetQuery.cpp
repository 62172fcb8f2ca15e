#include "channels/jet/JetQuery.h"

#include "channels/jet/JetText.h"

#include <algorithm>
#include <cctype>
#include <numeric>

namespace zorvast::channels::jet {

namespace {

class Tokens {
public:
    explicit Tokens(std::string_view text) : text_(text) {}

    // The next word, a bracketed name or one punctuation character; "" at the end.
    std::string next() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) {
            ++pos_;
        }
        if (pos_ >= text_.size()) {
            return {};
        }
        const char c = text_[pos_];
        if (c == '[') {
            const std::size_t close = text_.find(']', pos_);
            if (close == std::string_view::npos) {
                pos_ = text_.size();
                return "[";
            }
            std::string name(text_.substr(pos_ + 1, close - pos_ - 1));
            pos_ = close + 1;
            return name.empty() ? "[" : name;
        }
        if (!isWordChar(c)) {
            ++pos_;
            return std::string(1, c);
        }
        const std::size_t start = pos_;
        while (pos_ < text_.size() && isWordChar(text_[pos_])) {
            ++pos_;
        }
        return std::string(text_.substr(start, pos_ - start));
    }

private:
    static bool isWordChar(char c) {
        const auto u = static_cast<unsigned char>(c);
        return std::isalnum(u) || c == '_' || c == '.' || u >= 0x80;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

bool isWord(const std::string& token) {
    return !token.empty() && token != "," && token != "*" && token != ";" && token != "[";
}

int compareValues(FieldKind kind, const FieldValue& a, const FieldValue& b) {
    if (a.isNull || b.isNull) {
        return a.isNull == b.isNull ? 0 : (a.isNull ? -1 : 1);
    }
    switch (kind) {
    case FieldKind::Integer:
    case FieldKind::Boolean:
        return a.integer < b.integer ? -1 : (a.integer > b.integer ? 1 : 0);
    case FieldKind::Real:
        return a.real < b.real ? -1 : (a.real > b.real ? 1 : 0);
    case FieldKind::Text:
    case FieldKind::Other:
        break;
    }
    return compareTextFolded(a.text, b.text);
}

} // namespace

SelectQuery parseSelectQuery(std::string_view sql) {
    SelectQuery query;
    Tokens tokens(sql);
    auto expect = [&](std::string_view word) {
        const std::string token = tokens.next();
        if (!equalsTextFolded(token, word)) {
            query.error = "expected '" + std::string(word) + "', found '" + token + "'";
            return false;
        }
        return true;
    };
    if (!expect("select") || !expect("*") || !expect("from")) {
        return query;
    }
    query.table = tokens.next();
    if (!isWord(query.table)) {
        query.error = "table name expected";
        return query;
    }
    std::string token = tokens.next();
    if (!token.empty() && token != ";") {
        if (!equalsTextFolded(token, "order") || !expect("by")) {
            if (query.error.empty()) {
                query.error = "expected 'order by', found '" + token + "'";
            }
            return query;
        }
        while (true) {
            OrderKey key;
            key.field = tokens.next();
            if (!isWord(key.field)) {
                query.error = "field name expected in the ordering";
                return query;
            }
            token = tokens.next();
            if (equalsTextFolded(token, "asc") || equalsTextFolded(token, "desc")) {
                key.descending = equalsTextFolded(token, "desc");
                token = tokens.next();
            }
            query.order.push_back(std::move(key));
            if (token == ",") {
                continue;
            }
            break;
        }
    }
    if (token == ";") {
        token = tokens.next();
    }
    if (!token.empty()) {
        query.error = "unexpected '" + token + "' after the query";
        return query;
    }
    query.ok = true;
    return query;
}

bool orderRows(const TableData& table, const std::vector<OrderKey>& order,
               std::vector<std::size_t>& rowsOut, std::string& error) {
    struct BoundKey {
        std::size_t field;
        FieldKind kind;
        bool descending;
    };
    std::vector<BoundKey> keys;
    for (const OrderKey& key : order) {
        const int index = table.fieldIndex(key.field);
        if (index < 0) {
            error = "unknown field '" + key.field + "' in the ordering";
            return false;
        }
        const auto field = static_cast<std::size_t>(index);
        keys.push_back({field, table.fields[field].kind, key.descending});
    }
    rowsOut.resize(table.rows.size());
    std::iota(rowsOut.begin(), rowsOut.end(), std::size_t{0});
    if (keys.empty()) {
        return true;
    }
    // Fold text keys once, so the sort compares plain bytes.
    std::vector<std::vector<std::string>> folded(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (keys[k].kind != FieldKind::Text && keys[k].kind != FieldKind::Other) {
            continue;
        }
        folded[k].reserve(table.rows.size());
        for (const auto& row : table.rows) {
            std::string text = row[keys[k].field].text;
            for (char& c : text) {
                if (c >= 'A' && c <= 'Z') {
                    c = static_cast<char>(c + ('a' - 'A'));
                }
            }
            folded[k].push_back(std::move(text));
        }
    }
    std::stable_sort(rowsOut.begin(), rowsOut.end(), [&](std::size_t x, std::size_t y) {
        for (std::size_t k = 0; k < keys.size(); ++k) {
            const BoundKey& key = keys[k];
            const FieldValue& a = table.rows[x][key.field];
            const FieldValue& b = table.rows[y][key.field];
            int c;
            if (!folded[k].empty() && !a.isNull && !b.isNull) {
                c = folded[k][x].compare(folded[k][y]);
            } else {
                c = compareValues(key.kind, a, b);
            }
            if (c != 0) {
                return key.descending ? c > 0 : c < 0;
            }
        }
        return false;
    });
    return true;
}

} // namespace zorvast::channels::jet
