#include "channels/jet/JetQuery.h"

#include "channels/jet/JetText.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>
#include <numeric>
#include <string_view>
#include <unordered_map>
#include <utility>

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

namespace {

bool hasUpperAscii(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

std::string foldedText(const std::string& text) {
    std::string folded = text;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + ('a' - 'A'));
        }
    }
    return folded;
}

// Ranks of `values` in ascending order, 1 for the smallest; equal values share a rank.
template <typename T>
std::uint32_t rankDistinct(const std::vector<T>& values, const std::vector<bool>& isNull,
                           std::vector<std::uint32_t>& ranks) {
    std::vector<T> distinct;
    distinct.reserve(values.size());
    for (std::size_t row = 0; row < values.size(); ++row) {
        if (!isNull[row]) {
            distinct.push_back(values[row]);
        }
    }
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    for (std::size_t row = 0; row < values.size(); ++row) {
        ranks[row] = isNull[row]
                         ? 0
                         : static_cast<std::uint32_t>(
                               std::lower_bound(distinct.begin(), distinct.end(), values[row]) -
                               distinct.begin() + 1);
    }
    return static_cast<std::uint32_t>(distinct.size());
}

// Whole numbers within a narrow span (frequencies, symbol rates, flags) rank by their distance
// from the smallest: the same order as ranking the distinct values, without sorting them.
std::uint32_t rankWholeNumbers(const std::vector<std::int64_t>& values,
                               const std::vector<bool>& isNull, std::vector<std::uint32_t>& ranks) {
    constexpr std::uint64_t kNarrowSpan = std::uint64_t{1} << 24;
    bool any = false;
    std::int64_t low = 0;
    std::int64_t high = 0;
    for (std::size_t row = 0; row < values.size(); ++row) {
        if (!isNull[row]) {
            low = any ? std::min(low, values[row]) : values[row];
            high = any ? std::max(high, values[row]) : values[row];
            any = true;
        }
    }
    if (!any || static_cast<std::uint64_t>(high) - static_cast<std::uint64_t>(low) >= kNarrowSpan) {
        return rankDistinct(values, isNull, ranks);
    }
    for (std::size_t row = 0; row < values.size(); ++row) {
        ranks[row] = isNull[row]
                         ? 0
                         : static_cast<std::uint32_t>(static_cast<std::uint64_t>(values[row]) -
                                                      static_cast<std::uint64_t>(low) + 1);
    }
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(high) -
                                      static_cast<std::uint64_t>(low) + 1);
}

// One ordering key's values, gathered from every row.
struct KeyColumn {
    std::vector<bool> isNull;
    std::vector<std::int64_t> integers;  // Integer and Boolean keys
    std::vector<double> reals;           // Real keys
    std::vector<std::string_view> texts; // Text and Other keys, into the table
};

// Turns one ordering key into a rank per row (NULL first, text folded), so that the
// sort itself only compares integers.
std::uint32_t rankKey(const KeyColumn& column, FieldKind kind, std::vector<std::uint32_t>& ranks) {
    const std::vector<bool>& isNull = column.isNull;
    const std::size_t count = isNull.size();
    ranks.assign(count, 0);
    switch (kind) {
    case FieldKind::Integer:
    case FieldKind::Boolean:
        return rankWholeNumbers(column.integers, isNull, ranks);
    case FieldKind::Real:
        return rankDistinct(column.reals, isNull, ranks);
    case FieldKind::Text:
    case FieldKind::Other:
        break;
    }
    // Most text keys repeat a few values many times: fold and sort the distinct ones only.
    // The views point into the table, which outlives this.
    std::unordered_map<std::string_view, std::uint32_t> slotOf;
    slotOf.reserve(64);
    std::vector<std::string_view> distinct;
    std::vector<std::uint32_t> slots(count, 0);
    bool anyUpper = false;
    for (std::size_t row = 0; row < count; ++row) {
        if (isNull[row]) {
            continue;
        }
        const std::string_view text = column.texts[row];
        const auto [found, added] =
            slotOf.try_emplace(text, static_cast<std::uint32_t>(distinct.size()));
        if (added) {
            distinct.push_back(text);
            anyUpper = anyUpper || hasUpperAscii(text);
        }
        slots[row] = found->second;
    }
    // Folded copies only when some text has capitals to fold.
    std::vector<std::string> foldedCopies;
    std::vector<std::string_view> folded = distinct;
    if (anyUpper) {
        foldedCopies.reserve(distinct.size());
        for (std::size_t slot = 0; slot < distinct.size(); ++slot) {
            foldedCopies.push_back(foldedText(std::string(distinct[slot])));
            folded[slot] = foldedCopies.back();
        }
    }
    std::vector<std::uint32_t> bySlot(distinct.size());
    std::iota(bySlot.begin(), bySlot.end(), std::uint32_t{0});
    std::sort(bySlot.begin(), bySlot.end(),
              [&](std::uint32_t x, std::uint32_t y) { return folded[x] < folded[y]; });
    std::vector<std::uint32_t> rankOfSlot(distinct.size());
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < bySlot.size(); ++i) {
        if (i == 0 || folded[bySlot[i]] != folded[bySlot[i - 1]]) {
            ++rank;
        }
        rankOfSlot[bySlot[i]] = rank;
    }
    for (std::size_t row = 0; row < count; ++row) {
        if (!isNull[row]) {
            ranks[row] = rankOfSlot[slots[row]];
        }
    }
    return rank;
}

unsigned bitsFor(std::uint32_t maxValue) {
    unsigned bits = 1;
    while (bits < 32 && (std::uint64_t{1} << bits) <= maxValue) {
        ++bits;
    }
    return bits;
}

} // namespace

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
    const std::size_t count = table.rows.size();
    rowsOut.resize(count);
    std::iota(rowsOut.begin(), rowsOut.end(), std::size_t{0});
    if (keys.empty()) {
        return true;
    }
    std::vector<std::vector<std::uint32_t>> ranks(keys.size());
    std::vector<unsigned> bits(keys.size());
    unsigned totalBits = 0;
    // One pass over the rows for every key: they lie apart in memory, so each visit costs.
    std::vector<KeyColumn> columns(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        columns[k].isNull.resize(count);
        switch (keys[k].kind) {
        case FieldKind::Integer:
        case FieldKind::Boolean:
            columns[k].integers.resize(count);
            break;
        case FieldKind::Real:
            columns[k].reals.resize(count);
            break;
        case FieldKind::Text:
        case FieldKind::Other:
            columns[k].texts.resize(count);
            break;
        }
    }
    for (std::size_t row = 0; row < count; ++row) {
        const std::vector<FieldValue>& values = table.rows[row];
        for (std::size_t k = 0; k < keys.size(); ++k) {
            const FieldValue& value = values[keys[k].field];
            KeyColumn& column = columns[k];
            column.isNull[row] = value.isNull;
            switch (keys[k].kind) {
            case FieldKind::Integer:
            case FieldKind::Boolean:
                column.integers[row] = value.integer;
                break;
            case FieldKind::Real:
                // NaN has no place in an order; below every number it keeps the sort total.
                column.reals[row] = value.real != value.real
                                        ? -std::numeric_limits<double>::infinity()
                                        : value.real;
                break;
            case FieldKind::Text:
            case FieldKind::Other:
                column.texts[row] = value.text;
                break;
            }
        }
    }
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const std::uint32_t top = rankKey(columns[k], keys[k].kind, ranks[k]);
        if (keys[k].descending) {
            for (std::uint32_t& rank : ranks[k]) {
                rank = top - rank + 1; // NULL (0) becomes the largest, as the reverse order wants
            }
        }
        bits[k] = bitsFor(top + 1);
        totalBits += bits[k];
    }
    if (totalBits <= 64) {
        // Every key packs into one number, sorted by its digits from the lowest up; each pass
        // keeps the order of equal digits, so rows with equal keys stay in table order.
        std::vector<std::uint64_t> packed(count);
        for (std::size_t row = 0; row < count; ++row) {
            std::uint64_t value = 0;
            for (std::size_t k = 0; k < keys.size(); ++k) {
                value = (value << bits[k]) | ranks[k][row];
            }
            packed[row] = value;
        }
        constexpr unsigned kDigitBits = 11;
        constexpr std::size_t kDigits = std::size_t{1} << kDigitBits;
        std::vector<std::size_t> spare(count);
        std::vector<std::size_t> next(kDigits);
        for (unsigned shift = 0; shift < totalBits; shift += kDigitBits) {
            std::fill(next.begin(), next.end(), 0);
            for (std::size_t row : rowsOut) {
                ++next[(packed[row] >> shift) & (kDigits - 1)];
            }
            std::size_t position = 0;
            for (std::size_t& slot : next) {
                position += std::exchange(slot, position);
            }
            for (std::size_t row : rowsOut) {
                spare[next[(packed[row] >> shift) & (kDigits - 1)]++] = row;
            }
            rowsOut.swap(spare);
        }
        return true;
    }
    std::stable_sort(rowsOut.begin(), rowsOut.end(), [&](std::size_t x, std::size_t y) {
        for (const auto& rank : ranks) {
            if (rank[x] != rank[y]) {
                return rank[x] < rank[y];
            }
        }
        return false;
    });
    return true;
}

} // namespace zorvast::channels::jet
