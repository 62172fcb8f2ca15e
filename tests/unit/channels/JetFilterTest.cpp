#include "channels/jet/JetFilter.h"
#include "channels/jet/JetQuery.h"
#include "channels/jet/JetText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace zorvast::channels::jet {
namespace {

// A small `sat`-shaped table in memory; filter results are compared as row indexes.
TableData channelTable() {
    TableData t;
    t.name = "sat";
    t.fields = {{"s_loca", FieldKind::Text}, {"s_freq", FieldKind::Integer},
                {"s_pola", FieldKind::Text}, {"s_ch", FieldKind::Text},
                {"s_sys", FieldKind::Text},  {"s_free", FieldKind::Boolean},
                {"s_upda", FieldKind::Text}};
    auto text = [](const char* s) {
        FieldValue v;
        v.text = s;
        return v;
    };
    auto number = [](long long n) {
        FieldValue v;
        v.integer = n;
        v.text = std::to_string(n);
        return v;
    };
    auto flag = [](bool b) {
        FieldValue v;
        v.integer = b ? 1 : 0;
        v.text = b ? "1" : "0";
        return v;
    };
    auto row = [&](const char* loca, long long freq, const char* pola, const char* ch,
                   const char* sys, bool free, const char* upda) {
        t.rows.push_back(
            {text(loca), number(freq), text(pola), text(ch), text(sys), flag(free), text(upda)});
    };
    row("E115.5", 12500, "H", "CCTV-1", "高清电视", true, "中央电视台");     // 0
    row("E115.5", 3840, "V", "cctv-news", "标清电视", false, "中央电视台");  // 1
    row("E115.5", 10000, "H", "边界频率", "标清电视", true, "测试");         // 2
    row("E115.5", 12500, "V", "广播一台", "广播", true, "中央人民广播电台"); // 3
    row("E134", 4000, "H", "A*B", "数据", false, "O'Malley");                // 4
    row("E134", 11000, "R", "Sun TV ", "测试或临传", true, "");              // 5
    row("E115.5", 0, "", "", "", false, "");                                 // 6: filler
    return t;
}

std::vector<int> matching(const TableData& t, const std::string& criterion) {
    const FilterResult r = compileFilter(criterion, t.fields);
    EXPECT_TRUE(r.ok) << criterion << ": " << r.error;
    std::vector<int> rows;
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        if (r.filter.matches(t.rows[i])) {
            rows.push_back(static_cast<int>(i));
        }
    }
    return rows;
}

struct FilterCase {
    const char* criterion;
    std::vector<int> rows;
};

class FilterMatching : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterMatching, SelectsExactlyTheExpectedRows) {
    const FilterCase& c = GetParam();
    EXPECT_EQ(matching(channelTable(), c.criterion), c.rows) << c.criterion;
}

INSTANTIATE_TEST_SUITE_P(
    Criteria, FilterMatching,
    ::testing::Values(
        // The combined query's pieces and its worked example.
        FilterCase{"s_loca='E115.5' and s_freq>10000 and s_free=1 and s_sys='高清电视'", {0}},
        FilterCase{"s_loca='E115.5' and s_freq<10000", {1, 6}},
        FilterCase{"s_loca='E115.5' and s_freq>10000", {0, 3}}, FilterCase{"s_freq=10000", {2}},
        FilterCase{"s_loca='E115.5' and s_pola='H'", {0, 2}},
        FilterCase{"s_loca='E115.5' and s_pola='V' and s_free=0", {1}},
        FilterCase{"s_loca='E115.5' and s_sys<>'广播' and s_sys<>'数据'", {0, 1, 2, 6}},
        FilterCase{"s_loca=''", {}}, FilterCase{"s_loca='E134'", {4, 5}},
        // Yes/No against numbers: any non-zero number is True.
        FilterCase{"s_free=1", {0, 2, 3, 5}}, FilterCase{"s_free=-1", {0, 2, 3, 5}},
        FilterCase{"s_free=0", {1, 4, 6}}, FilterCase{"s_free<>0", {0, 2, 3, 5}},
        FilterCase{"s_free=true", {0, 2, 3, 5}},
        // Texts compare without regard to ASCII case, trailing blanks count.
        FilterCase{"s_loca='e115.5' and s_freq>10000", {0, 3}}, FilterCase{"s_ch='Sun TV'", {}},
        FilterCase{"s_ch='sun tv '", {5}},
        // The channel search: wildcards at both ends, everything between literal.
        FilterCase{"s_ch like '*CCTV*'", {0, 1}}, FilterCase{"s_ch like '*cctv-n*'", {1}},
        FilterCase{"s_ch like '*广播*'", {3}}, FilterCase{"s_ch like '**B*'", {4}},
        FilterCase{"s_ch like '**B'", {4}}, FilterCase{"s_ch like '*A*B*'", {4}},
        FilterCase{"s_ch like '*%*'", {}}, FilterCase{"s_ch like 'CCTV*'", {0, 1}},
        FilterCase{"s_ch like '*TV '", {5}}, FilterCase{"s_ch like 'cctv-1'", {0}},
        FilterCase{"s_ch like '**'", {0, 1, 2, 3, 4, 5, 6}},
        FilterCase{"s_ch like '*'", {0, 1, 2, 3, 4, 5, 6}},
        // The provider search, with its blank after "=", and a doubled quote.
        FilterCase{"s_upda= '中央电视台'", {0, 1}}, FilterCase{"s_upda= 'O''Malley'", {4}},
        FilterCase{"s_upda='o''malley'", {4}},
        // Spelling the engine accepts: keywords in any case, brackets, blanks, parentheses.
        FilterCase{"S_LOCA = 'E134' AND S_FREQ >= 11000", {5}},
        FilterCase{"[s_loca]='E134' and [s_pola]<>'H'", {5}},
        FilterCase{"(s_pola='R' or s_pola='V') and s_free=1", {3, 5}},
        FilterCase{"s_free=1 or s_pola='V' and s_loca='E134'", {5}},
        FilterCase{"s_freq<=4000 and s_freq>=3840", {1, 4}}, FilterCase{"s_freq>'11000'", {0, 3}},
        FilterCase{"  ", {0, 1, 2, 3, 4, 5, 6}}, FilterCase{"", {0, 1, 2, 3, 4, 5, 6}}));

// Filters built as values select what the criterion text of the same filter selects, with the
// same conversions to each field's kind.
struct ValueCase {
    const char* criterion;
    FilterExpr value;
};

std::vector<int> matchingValue(const TableData& t, const FilterExpr& value) {
    const FilterResult r = bindFilter(value, t.fields);
    EXPECT_TRUE(r.ok) << r.error;
    std::vector<int> rows;
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        if (r.filter.matches(t.rows[i])) {
            rows.push_back(static_cast<int>(i));
        }
    }
    return rows;
}

FilterExpr is(const char* field, CompareOp op, FilterLiteral value) {
    return compare(field, op, std::move(value));
}

TEST(FilterValues, SelectWhatTheirCriterionTextSelects) {
    using L = FilterLiteral;
    const ValueCase cases[] = {
        {"s_loca='E115.5'", is("s_loca", CompareOp::Equal, L::ofText("E115.5"))},
        {"s_loca='e115.5'", is("s_loca", CompareOp::Equal, L::ofText("e115.5"))},
        {"s_freq<10000", is("s_freq", CompareOp::Less, L::ofNumber(10000))},
        {"s_freq>=11000", is("s_freq", CompareOp::GreaterOrEqual, L::ofNumber(11000))},
        {"s_freq>'11000'", is("s_freq", CompareOp::Greater, L::ofText("11000"))},
        {"s_freq<>true", is("s_freq", CompareOp::NotEqual, L::ofBoolean(true))},
        {"s_free=1", is("s_free", CompareOp::Equal, L::ofNumber(1))},
        {"s_free=-1", is("s_free", CompareOp::Equal, L::ofNumber(-1))},
        {"s_free<0", is("s_free", CompareOp::Less, L::ofNumber(0))},
        {"s_free='yes'", is("s_free", CompareOp::Equal, L::ofText("yes"))},
        {"s_free=false", is("s_free", CompareOp::Equal, L::ofBoolean(false))},
        {"s_ch=12500", is("s_ch", CompareOp::Equal, L::ofNumber(12500))},
        {"s_ch like '*cctv*'", is("s_ch", CompareOp::Like, L::ofText("*cctv*"))},
        {"s_upda='O''Malley'", is("s_upda", CompareOp::Equal, L::ofText("O'Malley"))},
        {"s_ch like '*A*B*'", is("s_ch", CompareOp::Like, L::ofText("*A*B*"))},
        {"[s_pola]<>'H'", is("s_pola", CompareOp::NotEqual, L::ofText("H"))},
        {"s_loca='E115.5' and s_freq>10000 and s_free=1",
         allOf({is("s_loca", CompareOp::Equal, L::ofText("E115.5")),
                is("s_freq", CompareOp::Greater, L::ofNumber(10000)),
                is("s_free", CompareOp::Equal, L::ofNumber(1))})},
        {"s_loca='E134'",
         allOf({FilterExpr(), is("s_loca", CompareOp::Equal, L::ofText("E134")), FilterExpr()})},
        {"", allOf({})},
        {"", FilterExpr()},
    };
    const TableData t = channelTable();
    for (const ValueCase& c : cases) {
        EXPECT_EQ(matchingValue(t, c.value), matching(t, c.criterion)) << c.criterion;
    }
}

TEST(FilterValues, ThatDoNotFitTheTableAreRefused) {
    using L = FilterLiteral;
    const struct {
        const char* name;
        FilterExpr value;
        const char* reasonPart;
    } cases[] = {
        {"unknown field", is("nosuch", CompareOp::Equal, L::ofText("x")), "unknown field 'nosuch'"},
        {"text for a number", is("s_freq", CompareOp::Equal, L::ofText("abc")), "type mismatch"},
        {"text for Yes/No", is("s_free", CompareOp::Equal, L::ofText("maybe")), "is Yes/No"},
        {"like with a number", is("s_ch", CompareOp::Like, L::ofNumber(5)), "like needs"},
        {"unknown field after a good one",
         allOf({is("s_loca", CompareOp::Equal, L::ofText("E134")),
                is("s_nosuch", CompareOp::Equal, L::ofText("x"))}),
         "unknown field 's_nosuch'"},
        {"1025 clauses",
         allOf(std::vector<FilterExpr>(1025, is("s_freq", CompareOp::Equal, L::ofNumber(1)))),
         "more than 1024 clauses"},
    };
    for (const auto& c : cases) {
        const FilterResult r = bindFilter(c.value, channelTable().fields);
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_NE(r.error.find(c.reasonPart), std::string::npos) << c.name << ": " << r.error;
        EXPECT_TRUE(r.filter.isEmpty()) << c.name;
    }
    const FilterResult most = bindFilter(
        allOf(std::vector<FilterExpr>(1024, is("s_freq", CompareOp::Equal, L::ofNumber(4000)))),
        channelTable().fields);
    EXPECT_TRUE(most.ok) << most.error;
}

// What a criterion's quotes stand for reaches the value undone, whatever the text holds.
TEST(FilterValues, ParsedTextsKeepEveryCharacter) {
    for (const std::string value :
         {std::string("O'Malley"), std::string("''"), std::string("'"), std::string(" a b "),
          std::string("中文'台"), std::string("and or ( ) = <> like"), std::string()}) {
        std::string quoted = "s_upda='";
        for (char c : value) {
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        }
        quoted += "'";
        const ParsedFilter parsed = parseFilter(quoted);
        ASSERT_TRUE(parsed.ok) << quoted << ": " << parsed.error;
        ASSERT_NE(parsed.expr.root(), nullptr) << quoted;
        EXPECT_EQ(parsed.expr.root()->field, "s_upda") << quoted;
        EXPECT_EQ(parsed.expr.root()->value.text, value) << quoted;
        EXPECT_EQ(parsed.expr.root()->value.kind, FilterLiteral::Kind::Text) << quoted;
    }
}

struct CityCase {
    const char* criterion;
    std::vector<int> rows;
};

TEST(FilterOnCities, ProvinceAndCityCriteria) {
    TableData t;
    t.fields = {{"sta", FieldKind::Text},
                {"name", FieldKind::Text},
                {"lo", FieldKind::Integer},
                {"la", FieldKind::Integer}};
    auto add = [&](const char* sta, const char* name, int lo, int la) {
        std::vector<FieldValue> row(5);
        row[0].text = sta;
        row[1].text = name;
        row[2].integer = lo;
        row[3].integer = la;
        t.rows.push_back(row);
    };
    add("京", "北京", 11646, 3992);
    add("京", "平谷", 11711, 4014);
    add("徽", "合肥", 11727, 3186);
    add("京", "北京", 1, 1); // a repeated name: the lookup takes the first
    const std::vector<CityCase> cases = {
        {"sta='京'", {0, 1, 3}},
        {"sta='徽'", {2}},
        {"sta='京' and name='北京'", {0, 3}},
        {"sta='京' and name='合肥'", {}},
        {"sta='' and name=''", {}},
    };
    for (const CityCase& c : cases) {
        EXPECT_EQ(matching(t, c.criterion), c.rows) << c.criterion;
    }
}

TEST(FilterOnNulls, MissingNumbersMatchNothingAndMissingTextsAreEmpty) {
    TableData t;
    t.fields = {{"n", FieldKind::Integer}, {"s", FieldKind::Text}};
    std::vector<FieldValue> row(2);
    row[0].isNull = true;
    row[1].isNull = true;
    t.rows.push_back(row);
    EXPECT_TRUE(matching(t, "n=0").empty());
    EXPECT_TRUE(matching(t, "n<>0").empty());
    EXPECT_EQ(matching(t, "s=''"), std::vector<int>{0});
}

struct BadCase {
    const char* criterion;
    const char* reasonPart;
};

class MalformedFilter : public ::testing::TestWithParam<BadCase> {};

TEST_P(MalformedFilter, IsRefusedWithAReason) {
    const BadCase& c = GetParam();
    const FilterResult r = compileFilter(c.criterion, channelTable().fields);
    EXPECT_FALSE(r.ok) << c.criterion;
    EXPECT_NE(r.error.find(c.reasonPart), std::string::npos) << c.criterion << " -> " << r.error;
    EXPECT_TRUE(r.filter.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Criteria, MalformedFilter,
    ::testing::Values(
        BadCase{"s_loca='E115.5", "unterminated"},
        BadCase{"s_loca='E1' and", "field name expected"},
        BadCase{"s_loca 'E1'", "operator expected"}, BadCase{"s_loca=", "value expected"},
        BadCase{"nosuch='x'", "unknown field"}, BadCase{"s_freq='abc'", "type mismatch"},
        BadCase{"s_free='maybe'", "type mismatch"}, BadCase{"s_ch like 5", "like needs"},
        BadCase{"(s_loca='E1'", "missing ')'"}, BadCase{"s_loca='E1')", "unexpected"},
        BadCase{"s_loca='E1' s_freq=1", "unexpected"}, BadCase{"s_loca=null", "null"},
        BadCase{"s_loca=#2020-01-01#", "dates"}, BadCase{"[s_loca='E1'", "missing ']'"},
        BadCase{"s_freq=1e", "value expected"},
        BadCase{"s_loca='a' and s_loca='b' and s_loca='c' and ", "field name"}));

// Nesting, length and clause count are bounded; input past a bound is a malformed filter.
std::string nested(std::size_t depth, const std::string& inner) {
    return std::string(depth, '(') + inner + std::string(depth, ')');
}

std::string chainOf(int clauses, const std::string& last) {
    std::string text;
    for (int i = 1; i < clauses; ++i) {
        text += "s_freq=1 or ";
    }
    return text + last;
}

// A criterion of exactly `length` bytes that every row of channelTable() matches.
std::string paddedTo(std::size_t length) {
    const std::string head = "s_upda<>'";
    return head + std::string(length - head.size() - 1, 'x') + "'";
}

struct LimitCase {
    const char* name;
    std::string criterion;
    bool ok;
    std::vector<int> rows;  // when ok
    const char* reasonPart; // when refused
};

TEST(FilterLimits, NestingLengthAndClausesAreBounded) {
    const std::vector<LimitCase> cases = {
        {"64 levels", nested(64, "s_loca='E134'"), true, {4, 5}, ""},
        {"65 levels", nested(65, "s_loca='E134'"), false, {}, "nested deeper than 64"},
        {"50,000 levels, balanced", nested(50000, "s_loca='E134'"), false, {}, "longer than"},
        {"50,000 opening parentheses",
         std::string(50000, '(') + "s_loca='E134'",
         false,
         {},
         "nested deeper than 64"},
        {"deep inside a chain", "s_freq=1 or " + nested(65, "s_freq=1"), false, {}, "nested"},
        {"64 KiB", paddedTo(kMaxFilterLength), true, {0, 1, 2, 3, 4, 5, 6}, ""},
        {"64 KiB and one byte", paddedTo(kMaxFilterLength + 1), false, {}, "longer than 65536"},
        {"a megabyte of blanks", std::string(1 << 20, ' '), false, {}, "longer than"},
        {"1024 clauses", chainOf(1024, "s_freq=4000"), true, {4}, ""},
        {"1025 clauses", chainOf(1025, "s_freq=4000"), false, {}, "more than 1024 clauses"},
    };
    const TableData t = channelTable();
    for (const LimitCase& c : cases) {
        const FilterResult r = compileFilter(c.criterion, t.fields);
        ASSERT_EQ(r.ok, c.ok) << c.name << ": " << r.error;
        if (c.ok) {
            std::vector<int> rows;
            for (std::size_t i = 0; i < t.rows.size(); ++i) {
                if (r.filter.matches(t.rows[i])) {
                    rows.push_back(static_cast<int>(i));
                }
            }
            EXPECT_EQ(rows, c.rows) << c.name;
        } else {
            EXPECT_NE(r.error.find(c.reasonPart), std::string::npos) << c.name << ": " << r.error;
            EXPECT_TRUE(r.filter.isEmpty()) << c.name;
        }
    }
}

struct LikeCase {
    const char* text;
    const char* pattern;
    bool matches;
};

TEST(LikeMatching, WildcardsOnlyAtTheEnds) {
    const std::vector<LikeCase> cases = {
        {"CCTV-1", "*cctv*", true},
        {"CCTV-1", "cctv*", true},
        {"CCTV-1", "*-1", true},
        {"CCTV-1", "*-2", false},
        {"a*b", "*a*b*", true},
        {"ab", "*a*b*", false},
        {"a%b", "%a%b%", true},
        {"ab", "%a%b%", false},
        {"", "**", true},
        {"", "*x*", false},
        {"x", "", false},
        {"", "", true},
        {"凤凰卫视", "*卫视*", true},
        {"凤凰卫视", "卫视*", false},
        {"A", "*a", true},
    };
    for (const LikeCase& c : cases) {
        EXPECT_EQ(likeMatches(c.text, c.pattern), c.matches) << c.text << " like " << c.pattern;
    }
}

TEST(TextComparison, FoldsAsciiOnly) {
    EXPECT_EQ(compareTextFolded("ABC", "abc"), 0);
    EXPECT_LT(compareTextFolded("abc", "abd"), 0);
    EXPECT_LT(compareTextFolded("ab", "abc"), 0);
    EXPECT_GT(compareTextFolded("b", "A"), 0);
    EXPECT_NE(compareTextFolded("Ä", "ä"), 0);
    EXPECT_GT(compareTextFolded("Z", "_"), 0) << "letters fold to lower case before comparing";
}

struct QueryCase {
    const char* sql;
    bool ok;
    const char* table;
    std::vector<std::pair<std::string, bool>> keys;
};

TEST(SelectQueryText, ParsesTheOrderedQuery) {
    const std::vector<QueryCase> cases = {
        {"select * from sat order by s_loca asc,s_freq asc,s_ch",
         true,
         "sat",
         {{"s_loca", false}, {"s_freq", false}, {"s_ch", false}}},
        {"SELECT * FROM [sat] ORDER BY s_freq DESC", true, "sat", {{"s_freq", true}}},
        {"select * from city", true, "city", {}},
        {"select * from sat;", true, "sat", {}},
        {"select s_ch from sat", false, "", {}},
        {"select * from", false, "", {}},
        {"select * from sat order s_ch", false, "", {}},
        {"select * from sat order by", false, "", {}},
        {"select * from sat order by s_ch,", false, "", {}},
        {"select * from sat where s_ch='x'", false, "", {}},
    };
    for (const QueryCase& c : cases) {
        const SelectQuery q = parseSelectQuery(c.sql);
        EXPECT_EQ(q.ok, c.ok) << c.sql << " " << q.error;
        if (!c.ok) {
            continue;
        }
        EXPECT_EQ(q.table, c.table);
        ASSERT_EQ(q.order.size(), c.keys.size()) << c.sql;
        for (std::size_t i = 0; i < c.keys.size(); ++i) {
            EXPECT_EQ(q.order[i].field, c.keys[i].first);
            EXPECT_EQ(q.order[i].descending, c.keys[i].second);
        }
    }
}

TEST(RowOrdering, IsStableAndFoldsCase) {
    const TableData t = channelTable();
    std::vector<std::size_t> rows;
    std::string error;
    ASSERT_TRUE(orderRows(
        t, parseSelectQuery("select * from sat order by s_loca asc,s_freq asc,s_ch").order, rows,
        error));
    // E115.5 before E134; by frequency; on 12500 "CCTV-1" before "广播一台" (ASCII first).
    EXPECT_EQ(rows, (std::vector<std::size_t>{6, 1, 2, 0, 3, 4, 5}));

    ASSERT_TRUE(orderRows(t, {{"s_free", false}}, rows, error));
    EXPECT_EQ(rows, (std::vector<std::size_t>{1, 4, 6, 0, 2, 3, 5}))
        << "equal keys keep table order";

    ASSERT_TRUE(orderRows(t, {{"s_freq", true}}, rows, error));
    EXPECT_EQ(rows.front(), 0u);
    EXPECT_EQ(rows[1], 3u);

    EXPECT_FALSE(orderRows(t, {{"nosuch", false}}, rows, error));
    EXPECT_NE(error.find("nosuch"), std::string::npos);
}

TEST(RowOrdering, TextKeysCompareAsTheFilterDoes) {
    TableData t;
    t.fields = {{"s_ch", FieldKind::Text}};
    for (const char* s : {"b", "A", "a", "B", ""}) {
        std::vector<FieldValue> row(1);
        row[0].text = s;
        t.rows.push_back(row);
    }
    std::vector<std::size_t> rows;
    std::string error;
    ASSERT_TRUE(orderRows(t, {{"s_ch", false}}, rows, error));
    EXPECT_EQ(rows, (std::vector<std::size_t>{4, 1, 2, 0, 3}));
}

// A table of many rows whose keys repeat, with NULLs and capitals, ordered both by orderRows
// and by a plain stable sort that compares the values themselves.
TEST(RowOrdering, MatchesAStableSortOfTheValuesOnALargeTable) {
    TableData t;
    t.fields = {{"s_loca", FieldKind::Text},
                {"s_freq", FieldKind::Integer},
                {"s_ch", FieldKind::Text},
                {"s_rate", FieldKind::Real},
                {"s_wide", FieldKind::Integer}};
    std::uint32_t state = 7;
    auto next = [&state]() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    const char* const stems[] = {"cctv-", "CCTV-", "凤凰", "Abc", "abC", "", "z"};
    for (int i = 0; i < 9000; ++i) {
        std::vector<FieldValue> row(5);
        row[0].text = "E" + std::to_string(next() % 70);
        row[0].isNull = next() % 50 == 0;
        row[1].integer = static_cast<std::int64_t>(next() % 3000) - 100;
        row[1].isNull = next() % 40 == 0;
        row[2].text = std::string(stems[next() % 7]) + std::to_string(next() % 900);
        row[3].real = static_cast<double>(next() % 5000) / 7.0;
        // Spread far wider than the narrow numbers, and below zero too.
        row[4].integer = (static_cast<std::int64_t>(next() % 4000) - 2000) * 1'000'000'007LL;
        row[4].isNull = next() % 30 == 0;
        t.rows.push_back(std::move(row));
    }
    auto compare = [&](std::size_t x, std::size_t y, std::size_t field) {
        const FieldValue& a = t.rows[x][field];
        const FieldValue& b = t.rows[y][field];
        if (a.isNull || b.isNull) {
            return static_cast<int>(b.isNull) - static_cast<int>(a.isNull);
        }
        switch (t.fields[field].kind) {
        case FieldKind::Integer:
            return a.integer < b.integer ? -1 : (a.integer > b.integer ? 1 : 0);
        case FieldKind::Real:
            return a.real < b.real ? -1 : (a.real > b.real ? 1 : 0);
        default:
            return compareTextFolded(a.text, b.text);
        }
    };
    const struct {
        const char* what;
        std::vector<OrderKey> keys;
    } cases[] = {
        {"channel order", {{"s_loca", false}, {"s_freq", false}, {"s_ch", false}}},
        {"descending text, then number", {{"s_ch", true}, {"s_freq", false}}},
        {"descending number with NULLs", {{"s_freq", true}}},
        {"real", {{"s_rate", false}}},
        {"wide numbers, then descending narrow ones", {{"s_wide", false}, {"s_freq", true}}},
        {"descending wide numbers", {{"s_wide", true}}},
        {"every key", {{"s_ch", false}, {"s_rate", true}, {"s_freq", false}, {"s_loca", true}}},
    };
    for (const auto& c : cases) {
        std::vector<std::size_t> expected(t.rows.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            expected[i] = i;
        }
        std::vector<std::size_t> fields;
        for (const OrderKey& key : c.keys) {
            fields.push_back(static_cast<std::size_t>(t.fieldIndex(key.field)));
        }
        std::stable_sort(expected.begin(), expected.end(), [&](std::size_t x, std::size_t y) {
            for (std::size_t k = 0; k < fields.size(); ++k) {
                const int order = compare(x, y, fields[k]);
                if (order != 0) {
                    return c.keys[k].descending ? order > 0 : order < 0;
                }
            }
            return false;
        });
        std::vector<std::size_t> rows;
        std::string error;
        ASSERT_TRUE(orderRows(t, c.keys, rows, error)) << c.what;
        EXPECT_EQ(rows, expected) << c.what;
    }
}

} // namespace
} // namespace zorvast::channels::jet
