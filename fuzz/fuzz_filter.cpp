// Filter criteria and order-by queries of hostile text against a small table: parse, bind,
// evaluate on every row; the same text as the value of a filter the program builds; and the
// like-pattern matcher on its own.
#include "FuzzSupport.h"

#include "channels/jet/JetFilter.h"
#include "channels/jet/JetQuery.h"
#include "channels/jet/JetText.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace zorvast::channels::jet;
namespace fuzz = zorvast::fuzz;

namespace {

FieldValue text(std::string value) {
    FieldValue v;
    v.text = std::move(value);
    return v;
}

FieldValue integer(std::int64_t value) {
    FieldValue v;
    v.text = std::to_string(value);
    v.integer = value;
    return v;
}

FieldValue real(double value, std::string shown) {
    FieldValue v;
    v.text = std::move(shown);
    v.real = value;
    return v;
}

FieldValue null() {
    FieldValue v;
    v.isNull = true;
    return v;
}

// One field of every kind, rows with NULLs, Chinese text, quotes and pattern characters.
const TableData& sampleTable() {
    static const TableData table = [] {
        TableData t;
        t.name = "sat";
        t.fields = {{"s_loca", FieldKind::Text},    {"s_freq", FieldKind::Integer},
                    {"s_pola", FieldKind::Text},    {"s_ch", FieldKind::Text},
                    {"s_free", FieldKind::Boolean}, {"s_rate", FieldKind::Real},
                    {"s_date", FieldKind::Other}};
        t.rows = {
            {text("E134"), integer(12500), text("H"), text("CCTV-1"), integer(1),
             real(27.5, "27.5"), text("2024-01-01")},
            {text("E115.5"), integer(3840), text("V"), text("凤凰卫视*"), integer(0),
             real(-0.25, "-0.25"), null()},
            {text("E76.5"), null(), text(""), text("O'Malley [HD] %_?"), integer(0), null(),
             text("")},
            {text("e134"), integer(-7), text("L"), text("中文台"), integer(1),
             real(1e300, "1E+300"), text("1999-12-31")},
        };
        return t;
    }();
    return table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const TableData& table = sampleTable();

    const FilterResult filter = compileFilter(input, table.fields);
    if (filter.ok) {
        for (const auto& row : table.rows) {
            (void)filter.filter.matches(row);
        }
    } else {
        fuzz::check(!filter.error.empty(), "a refused filter without a reason");
    }

    // Typed text as a filter value: on a text field any text binds; on a number or Yes/No
    // field exactly the texts that read as one.
    const std::string typed(input);
    for (CompareOp op : {CompareOp::Equal, CompareOp::Like, CompareOp::GreaterOrEqual}) {
        const FilterResult value =
            bindFilter(compare("s_ch", op, FilterLiteral::ofText(typed)), table.fields);
        fuzz::check(value.ok, "a text value refused on a text field");
        for (const auto& row : table.rows) {
            (void)value.filter.matches(row);
        }
    }
    const FilterResult number =
        bindFilter(compare("s_freq", CompareOp::Less, FilterLiteral::ofText(typed)), table.fields);
    fuzz::check(number.ok == readFilterNumber(typed).has_value(),
                "a number field took a text that is no number, or refused one");
    const FilterResult flag =
        bindFilter(compare("s_free", CompareOp::Equal, FilterLiteral::ofText(typed)), table.fields);
    fuzz::check(flag.ok == readFilterYesNo(typed).has_value(),
                "a Yes/No field took a text that is no Yes/No, or refused one");
    for (const auto& row : table.rows) {
        (void)number.filter.matches(row);
        (void)flag.filter.matches(row);
    }

    const SelectQuery query = parseSelectQuery(input);
    if (query.ok) {
        std::vector<std::size_t> order;
        std::string error;
        if (orderRows(table, query.order, order, error)) {
            std::vector<std::size_t> sorted = order;
            std::sort(sorted.begin(), sorted.end());
            for (std::size_t i = 0; i < sorted.size(); ++i) {
                fuzz::check(sorted[i] == i, "ordering lost or repeated a row");
            }
            fuzz::check(sorted.size() == table.rows.size(), "ordering lost a row");
        } else {
            fuzz::check(!error.empty(), "ordering refused without a reason");
        }
    } else {
        fuzz::check(!query.error.empty(), "a refused query without a reason");
    }

    // "pattern\0text": the like matcher alone, where the backtracking lives.
    const std::size_t zero = input.find('\0');
    if (zero != std::string_view::npos) {
        const std::string_view pattern = input.substr(0, zero);
        const std::string_view subject = input.substr(zero + 1);
        (void)likeMatches(subject, pattern);
        fuzz::check(compareTextFolded(subject, subject) == 0, "a text differs from itself");
        fuzz::check(equalsTextFolded(subject, subject), "a text differs from itself");
        const int forward = compareTextFolded(pattern, subject);
        const int backward = compareTextFolded(subject, pattern);
        fuzz::check((forward > 0) == (backward < 0) && (forward == 0) == (backward == 0),
                    "comparison is not antisymmetric");
        fuzz::check((forward == 0) == equalsTextFolded(pattern, subject),
                    "equality and comparison disagree");
    }
    return 0;
}
