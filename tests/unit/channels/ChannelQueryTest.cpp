#include "channels/query/ChannelQuery.h"

#include "ChannelRecords.h"
#include "channels/jet/JetFilter.h"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace zorvast::common {
std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}
} // namespace zorvast::common

namespace zorvast::channels {

std::ostream& operator<<(std::ostream& out, const CellBlock& b) {
    return out << "{row " << b.row << ", column " << b.column << ", " << b.rows << " x "
               << b.columns << "}";
}

std::ostream& operator<<(std::ostream& out, CellAlign a) {
    return out << (a == CellAlign::Left ? "left" : a == CellAlign::Centre ? "centre" : "right");
}

std::ostream& operator<<(std::ostream& out, RowKind k) {
    const char* names[] = {"Header",           "Channel",      "NoResult",
                           "SatelliteHeading", "OverviewHint", "OverviewSatellite"};
    return out << names[static_cast<int>(k)];
}

std::ostream& operator<<(std::ostream& out, SearchTextError e) {
    const char* names[] = {"None", "Empty", "TooShort", "TooLong"};
    return out << names[static_cast<int>(e)];
}

namespace {

constexpr Rgb kFree{150, 255, 150};
constexpr Rgb kEncrypted{255, 50, 50};
constexpr Rgb kTint{245, 245, 255};
constexpr Rgb kHeadingBlue{0, 0, 150};
constexpr Rgb kHeadingYellow{255, 255, 0};

using zorvast::testing::channel;
using zorvast::testing::filler;

// Every row's five texts, one line per row, so a failure shows the whole grid.
std::string gridTexts(const GridContent& grid) {
    std::ostringstream out;
    for (int r = 1; r <= grid.rowCount(); ++r) {
        out << r << ":";
        for (int c = 1; c <= grid.columnCount(); ++c) {
            out << (c == 1 ? " " : " | ") << grid.text(r, c);
        }
        out << "\n";
    }
    return out.str();
}

std::string describe(const std::vector<CellBlock>& blocks) {
    std::ostringstream out;
    for (const CellBlock& b : blocks) {
        out << b << " ";
    }
    return out.str();
}

CombinedSelection selection(const char* satellite, const char* band = "全部",
                            const char* pola = "全部", const char* access = "全部",
                            const char* format = "所有电视") {
    return {.satellite = satelliteChoiceOf(satellite),
            .band = choiceOf<Band>(band).value(),
            .polarisation = choiceOf<Polarisation>(pola).value(),
            .access = choiceOf<Access>(access).value(),
            .kind = choiceOf<ProgrammeKind>(format).value()};
}

std::string describe(const CombinedSelection& s) {
    return "satellite '" + s.satellite.code + "' / '" + s.satellite.name + "', band '" +
           std::string(labelOf(s.band)) + "', polarisation '" +
           std::string(labelOf(s.polarisation)) + "', access '" + std::string(labelOf(s.access)) +
           "', format '" + std::string(labelOf(s.kind)) + "'";
}

// --- satellite items and filters ------------------------------------------------------------

TEST(ChannelQuery, SatelliteCodeAndNameOfAnItem) {
    const struct {
        const char* item;
        const char* code;
        const char* name;
    } cases[] = {
        {"E115.5（中星6B）", "E115.5", "中星6B"},
        {"E134（亚太6号）", "E134", "亚太6号"},
        {"W1.0（Thor 5）", "W1.0", "Thor 5"},
        {"E115.5", "", ""},         // no "（": empty code, empty name
        {"E115.5(中星6B)", "", ""}, // ASCII brackets are not the separator
        {"", "", ""},
        {"（中星6B）", "", "中星6B"},
        {"E87.5（", "E87.5", ""},
        {"E87.5（中星12号", "E87.5", "中星12号"}, // no "）": up to the end
        {"E100.5（亚洲2号（A））", "E100.5", "亚洲2号（A"},
        {"E76.5（亚太7号）附加", "E76.5", "亚太7号"},
        {"）E1（x", "）E1", ""}, // the first "）" lies before the "（"
        {"E1'5（a'b）", "E1'5", "a'b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(satelliteCodeOf(c.item), c.code) << "item '" << c.item << "'";
        EXPECT_EQ(satelliteNameOf(c.item), c.name) << "item '" << c.item << "'";
        const SatelliteChoice choice = satelliteChoiceOf(c.item);
        EXPECT_EQ(choice.code, c.code) << "item '" << c.item << "'";
        EXPECT_EQ(choice.name, c.name) << "item '" << c.item << "'";
    }
}

// The rows of `t` a filter value lets through, as row indexes.
std::vector<int> matchingRows(const jet::TableData& t, const jet::FilterExpr& filter) {
    const jet::FilterResult r = jet::bindFilter(filter, t.fields);
    EXPECT_TRUE(r.ok) << r.error;
    std::vector<int> rows;
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        if (r.ok && r.filter.matches(t.rows[i])) {
            rows.push_back(static_cast<int>(i));
        }
    }
    return rows;
}

std::string describe(const std::vector<int>& rows) {
    std::string out;
    for (int r : rows) {
        out += std::to_string(r) + " ";
    }
    return out;
}

jet::FieldValue textValue(const std::string& s) {
    jet::FieldValue v;
    v.text = s;
    return v;
}

jet::FieldValue numberValue(long long n) {
    jet::FieldValue v;
    v.integer = n;
    v.text = std::to_string(n);
    return v;
}

const std::vector<jet::FieldInfo> kSatFields = {
    {"s_loca", jet::FieldKind::Text}, {"s_freq", jet::FieldKind::Integer},
    {"s_pola", jet::FieldKind::Text}, {"s_ch", jet::FieldKind::Text},
    {"s_sys", jet::FieldKind::Text},  {"s_free", jet::FieldKind::Boolean},
    {"s_upda", jet::FieldKind::Text}};

// One channel of the generated table, as plain values.
struct Channel {
    std::string loca;
    long long freq;
    std::string pola;
    bool free;
    std::string sys;
};

// Every mix of satellite, frequency (around the band boundary), polarisation (letters in
// either case and one the lists do not offer), access and kind (an empty and an unknown one
// too).
std::vector<Channel> everyMix() {
    std::vector<Channel> out;
    for (const char* loca : {"E115.5", "E134", "E1'5", "e134"}) {
        for (long long freq : {3840LL, 9999LL, 10000LL, 10001LL, 12500LL}) {
            for (const char* pola : {"H", "V", "h", "v", "L"}) {
                for (bool free : {true, false}) {
                    for (const char* sys :
                         {"标清电视", "高清电视", "测试或临传", "广播", "数据", "", "其它"}) {
                        out.push_back({loca, freq, pola, free, sys});
                    }
                }
            }
        }
    }
    return out;
}

jet::TableData tableOf(const std::vector<Channel>& channels) {
    jet::TableData t;
    t.name = "sat";
    t.fields = kSatFields;
    for (const Channel& c : channels) {
        t.rows.push_back({textValue(c.loca), numberValue(c.freq), textValue(c.pola),
                          textValue("ch"), textValue(c.sys), numberValue(c.free ? 1 : 0),
                          textValue("")});
    }
    return t;
}

// What a selection means for one channel, said without any filter: the satellite's code
// (ASCII letters in any case), each list not at its "all" item, "所有电视" without radio and
// data, and a frequency of exactly 10000 in neither band.
bool selects(const CombinedSelection& s, const Channel& c) {
    const auto folded = [](std::string text) {
        for (char& ch : text) {
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        }
        return text;
    };
    const bool band = s.band == Band::All || (s.band == Band::C && c.freq < 10000) ||
                      (s.band == Band::Ku && c.freq > 10000);
    const bool pola = s.polarisation == Polarisation::All ||
                      (s.polarisation == Polarisation::Horizontal && folded(c.pola) == "h") ||
                      (s.polarisation == Polarisation::Vertical && folded(c.pola) == "v");
    const bool access = s.access == Access::All || (s.access == Access::Free) == c.free;
    const bool kind = s.kind == ProgrammeKind::Everything ||
                      (s.kind == ProgrammeKind::Television ? c.sys != "广播" && c.sys != "数据"
                                                           : c.sys == std::string(labelOf(s.kind)));
    return folded(c.loca) == folded(s.satellite.code) && band && pola && access && kind;
}

std::vector<CombinedSelection> everySelection() {
    std::vector<CombinedSelection> out;
    for (const char* item :
         {"E115.5（中星6B）", "E134（亚太6号）", "E1'5（x）", "E999（无）", "E115.5"}) {
        for (std::size_t b = 0; b < ChoiceTable<Band>::labels.size(); ++b) {
            for (std::size_t p = 0; p < ChoiceTable<Polarisation>::labels.size(); ++p) {
                for (std::size_t a = 0; a < ChoiceTable<Access>::labels.size(); ++a) {
                    for (std::size_t k = 0; k < ChoiceTable<ProgrammeKind>::labels.size(); ++k) {
                        out.push_back({.satellite = satelliteChoiceOf(item),
                                       .band = static_cast<Band>(b),
                                       .polarisation = static_cast<Polarisation>(p),
                                       .access = static_cast<Access>(a),
                                       .kind = static_cast<ProgrammeKind>(k)});
                    }
                }
            }
        }
    }
    return out;
}

TEST(ChannelQuery, CombinedFilterSelectsExactlyWhatTheListsSay) {
    const std::vector<Channel> channels = everyMix();
    const jet::TableData t = tableOf(channels);
    int checked = 0;
    for (const CombinedSelection& s : everySelection()) {
        std::vector<int> expected;
        for (std::size_t i = 0; i < channels.size(); ++i) {
            if (selects(s, channels[i])) {
                expected.push_back(static_cast<int>(i));
            }
        }
        const std::vector<int> got = matchingRows(t, buildCombinedFilter(s));
        ASSERT_EQ(got, expected) << describe(s) << ": got " << describe(got) << "\nexpected "
                                 << describe(expected);
        ++checked;
    }
    EXPECT_EQ(checked, 5 * 3 * 3 * 3 * 7);
}

// The same rows as the criterion text a user would type for the selection into
// `zorvast-cli rows --filter`, read by the engine's parser.
TEST(ChannelQuery, CombinedFilterAgreesWithItsCriterionText) {
    const jet::TableData t = tableOf(everyMix());
    const auto quoted = [](std::string_view value) {
        std::string out = "'";
        for (char c : value) {
            out += c == '\'' ? "''" : std::string(1, c);
        }
        return out + "'";
    };
    for (const CombinedSelection& s : everySelection()) {
        std::string criterion = "s_loca=" + quoted(s.satellite.code);
        const char* band[] = {"", " and s_freq>10000", " and s_freq<10000"};
        const char* pola[] = {"", " and s_pola='H'", " and s_pola='V'"};
        const char* access[] = {"", " and s_free=1", " and s_free=0"};
        criterion += band[static_cast<int>(s.band)];
        criterion += pola[static_cast<int>(s.polarisation)];
        criterion += access[static_cast<int>(s.access)];
        if (s.kind == ProgrammeKind::Television) {
            criterion += " and s_sys<>'广播' and s_sys<>'数据'";
        } else if (s.kind != ProgrammeKind::Everything) {
            criterion += " and s_sys=" + quoted(labelOf(s.kind));
        }
        const jet::ParsedFilter parsed = jet::parseFilter(criterion);
        ASSERT_TRUE(parsed.ok) << criterion << ": " << parsed.error;
        EXPECT_EQ(matchingRows(t, buildCombinedFilter(s)), matchingRows(t, parsed.expr))
            << describe(s) << " vs " << criterion;
    }
}

TEST(ChannelQuery, FrequencyTenThousandIsInNeitherBand) {
    const jet::TableData t = tableOf({{"E1", 9999, "H", true, "标清电视"},
                                      {"E1", 10000, "H", true, "标清电视"},
                                      {"E1", 10001, "H", true, "标清电视"}});
    const struct {
        const char* band;
        std::vector<int> rows;
    } cases[] = {{"全部", {0, 1, 2}}, {"C", {0}}, {"Ku", {2}}};
    for (const auto& c : cases) {
        EXPECT_EQ(matchingRows(t, buildCombinedFilter(selection("E1（x）", c.band))), c.rows)
            << c.band;
    }
}

// A small table for the searches: names and providers with stars, quotes and percent signs.
jet::TableData searchTable() {
    jet::TableData t;
    t.name = "sat";
    t.fields = kSatFields;
    auto row = [&](const char* loca, long long freq, const char* pola, const char* ch,
                   const char* sys, bool free, const char* upda) {
        t.rows.push_back({textValue(loca), numberValue(freq), textValue(pola), textValue(ch),
                          textValue(sys), numberValue(free ? 1 : 0), textValue(upda)});
    };
    row("E115.5", 12000, "H", "A*B", "标清电视", true, "O'Malley");     // 0
    row("E115.5", 3840, "V", "*AB", "高清电视", false, "中央电视台");   // 1
    row("E115.5", 10000, "H", "AB*", "标清电视", true, "");             // 2
    row("E115.5", 9999, "V", "XABX", "广播", true, "");                 // 3
    row("E115.5", 10001, "H", "O'Neil TV", "数据", false, "");          // 4
    row("E134", 4000, "V", "ab", "测试或临传", true, "");               // 5
    row("E134", 12500, "H", "%AB", "标清电视", false, "O'Malley's TV"); // 6
    return t;
}

// Typed stars, percent signs and quotes match themselves; letters in any case.
TEST(ChannelQuery, SearchFiltersMatchTheTypedTextItself) {
    const jet::TableData t = searchTable();
    const struct {
        std::string typed;
        std::vector<int> rows;
    } channels[] = {
        {"a*b", {0}},
        {"*ab", {1}},
        {"ab*", {2}},
        {"%ab", {6}},
        {"ab", {1, 2, 3, 5, 6}},
        {"O'Neil", {4}},
        {"'", {4}},
        {"o'neil tv", {4}},
        {"AB", {1, 2, 3, 5, 6}},
        {"*", {0, 1, 2}},
        {"''", {}},
        {"", {0, 1, 2, 3, 4, 5, 6}},
    };
    for (const auto& c : channels) {
        const std::vector<int> got = matchingRows(t, channelFilterOf(c.typed));
        EXPECT_EQ(got, c.rows) << "typed '" << c.typed << "': got " << describe(got);
    }
    const struct {
        std::string provider;
        std::vector<int> rows;
    } providers[] = {
        {"O'Malley", {0}},  {"O'Malley's TV", {6}}, {"中央电视台", {1}},
        {"", {2, 3, 4, 5}}, {"o'malley", {0}},      {"O'Malley*", {}},
    };
    for (const auto& c : providers) {
        const std::vector<int> got = matchingRows(t, providerFilterOf(c.provider));
        EXPECT_EQ(got, c.rows) << "provider '" << c.provider << "': got " << describe(got);
    }
}

TEST(ChannelQuery, CombinedFiltersOnTheSearchTable) {
    const jet::TableData t = searchTable();
    const struct {
        CombinedSelection selection;
        std::vector<int> rows;
    } cases[] = {
        {selection("E115.5（中星6B）", "全部", "全部", "全部", "全部显示"), {0, 1, 2, 3, 4}},
        {selection("E115.5（中星6B）"), {0, 1, 2}},
        {selection("E115.5（中星6B）", "C", "全部", "全部", "全部显示"), {1, 3}},
        {selection("E115.5（中星6B）", "Ku", "全部", "全部", "全部显示"), {0, 4}},
        {selection("E115.5（中星6B）", "全部", "水平(H)", "免费", "全部显示"), {0, 2}},
        {selection("E115.5（中星6B）", "全部", "垂直(V)", "加密", "全部显示"), {1}},
        {selection("E115.5（中星6B）", "Ku", "全部", "免费", "高清电视"), {}},
        {selection("E115.5（中星6B）", "C", "全部", "全部", "高清电视"), {1}},
        {selection("E134（亚太6号）", "全部", "全部", "全部", "测试或临传"), {5}},
        {selection("E134（亚太6号）"), {5, 6}},
        {selection("E134", "全部", "全部", "全部", "全部显示"), {}},
    };
    for (const auto& c : cases) {
        const std::vector<int> got = matchingRows(t, buildCombinedFilter(c.selection));
        EXPECT_EQ(got, c.rows) << describe(c.selection) << ": got " << describe(got)
                               << ", expected " << describe(c.rows);
    }
}

// --- summaries and the search box -----------------------------------------------------------

TEST(ChannelQuery, CombinedSummary) {
    const struct {
        CombinedSelection selection;
        int n;
        const char* summary;
    } cases[] = {
        {selection("E115.5（中星6B）"), 3,
         " ◎ 总计3个频道，是东经115.5度卫星，全部波段，全部极化，全部的所有电视节目。\r\n\r\n"
         " ◎ 卫星名称：中星6B"},
        {selection("E134（亚太6号）", "Ku", "水平(H)", "免费", "高清电视"), 12,
         " ◎ 总计12个频道，是东经134度卫星，Ku波段，水平(H)极化，免费的高清电视节目。\r\n\r\n"
         " ◎ 卫星名称：亚太6号"},
        // The text always says 东经, whatever the hemisphere letter.
        {selection("W1.0（Thor 5）", "C", "垂直(V)", "加密", "全部显示"), 1,
         " ◎ 总计1个频道，是东经1.0度卫星，C波段，垂直(V)极化，加密的全部显示节目。\r\n\r\n"
         " ◎ 卫星名称：Thor 5"},
        {selection("E87.5"), 2,
         " ◎ 总计2个频道，是东经度卫星，全部波段，全部极化，全部的所有电视节目。\r\n\r\n"
         " ◎ 卫星名称："},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(combinedSummaryText(c.selection, c.n), c.summary)
            << describe(c.selection) << ", n " << c.n;
    }
}

TEST(ChannelQuery, SearchSummariesAndTexts) {
    EXPECT_EQ(channelSearchSummaryText("CCTV", 7), " ◎ 共找到7个频道。是：搜索【CCTV】后的结果。");
    EXPECT_EQ(providerSearchSummaryText("中央电视台", 15),
              " ◎ 共找到15个频道。是：查找叫【中央电视台】的节目提供商后的结果。");

    const SearchTexts channelTexts = channelSearchTexts("凤凰", 4);
    EXPECT_EQ(channelTexts.summary, " ◎ 共找到4个频道。是：搜索【凤凰】后的结果。");
    EXPECT_EQ(channelTexts.noResultStatus,
              " ● 没有找到任何频道，同时也请重新检查输入的文字是否有问题！");
    EXPECT_EQ(channelTexts.noResultCell, "（没有找到任何记录）");
    EXPECT_EQ(channelTexts.noResultBackground, (Rgb{200, 255, 200}));
    EXPECT_EQ(channelTexts.noResultForeground, (std::optional<Rgb>{Rgb{0, 0, 0}}));

    const SearchTexts providerTexts = providerSearchTexts("O'Malley", 0);
    EXPECT_EQ(providerTexts.summary,
              " ◎ 共找到0个频道。是：查找叫【O'Malley】的节目提供商后的结果。");
    EXPECT_EQ(providerTexts.noResultStatus,
              " ● 没有找到任何频道，同时也请重新检查输入的文字是否有问题！");
    EXPECT_EQ(providerTexts.noResultCell, "（无记录）");
    EXPECT_EQ(providerTexts.noResultBackground, kFree);
    EXPECT_EQ(providerTexts.noResultForeground, std::nullopt);
}

// What the user typed or the database holds goes into a summary as it stands, braces too.
TEST(ChannelQuery, SummariesTakeTheirValuesAsTheyStand) {
    EXPECT_EQ(channelSearchSummaryText("{n}", 7), " ◎ 共找到7个频道。是：搜索【{n}】后的结果。");
    EXPECT_EQ(channelSearchSummaryText("{text}{", 1),
              " ◎ 共找到1个频道。是：搜索【{text}{】后的结果。");
    EXPECT_EQ(providerSearchSummaryText("}{provider}", 0),
              " ◎ 共找到0个频道。是：查找叫【}{provider}】的节目提供商后的结果。");
    EXPECT_EQ(combinedSummaryText(selection("E{n}（{band}）", "Ku"), 2),
              " ◎ 总计2个频道，是东经{n}度卫星，Ku波段，全部极化，全部的所有电视节目。\r\n\r\n"
              " ◎ 卫星名称：{band}");
}

TEST(ChannelQuery, SearchTextLimitsInGbkBytes) {
    const struct {
        std::string typed;
        SearchTextError error;
        const char* what;
    } cases[] = {
        {"", SearchTextError::Empty, "empty"},
        {"a", SearchTextError::TooShort, "one letter"},
        {"ab", SearchTextError::TooShort, "two letters"},
        {"abc", SearchTextError::None, "three letters"},
        {"中", SearchTextError::TooShort, "one Chinese character"},
        {"中文", SearchTextError::None, "two Chinese characters"},
        {"a中", SearchTextError::None, "a letter and a Chinese character"},
        {" ", SearchTextError::TooShort, "one blank"},
        {std::string(50, 'a'), SearchTextError::None, "50 letters"},
        {std::string(51, 'a'), SearchTextError::TooLong, "51 letters"},
        {[] {
             std::string s;
             for (int i = 0; i < 25; ++i) {
                 s += "台";
             }
             return s;
         }(),
         SearchTextError::None, "25 Chinese characters"},
        {[] {
             std::string s;
             for (int i = 0; i < 26; ++i) {
                 s += "台";
             }
             return s;
         }(),
         SearchTextError::TooLong, "26 Chinese characters"},
        {std::string(49, 'a') + "台", SearchTextError::TooLong, "49 letters and a character"},
        {std::string(48, 'a') + "台", SearchTextError::None, "48 letters and a character"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(checkSearchText(c.typed), c.error) << c.what << ": '" << c.typed << "'";
    }
}

TEST(ChannelQuery, SearchTextMessages) {
    const struct {
        SearchTextError error;
        const char* message;
    } cases[] = {
        {SearchTextError::None, ""},
        {SearchTextError::Empty, "输入的频道名不能为空！"},
        {SearchTextError::TooShort,
         "输入的频道名太短，请重新输入！\r\n（不能小于3个字母或2个汉字）"},
        {SearchTextError::TooLong,
         "输入的频道名太长，请重新输入！\r\n（不能大于50个字母或25个汉字）"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(searchTextErrorMessage(c.error), c.message) << c.error;
    }
}

// --- channel rows and row kinds -------------------------------------------------------------

TEST(ChannelQuery, PolarisationLabels) {
    const struct {
        const char* pola;
        const char* label;
    } cases[] = {
        {"V", "垂直(V)"}, {"v", "垂直(V)"}, {"H", "水平(H)"}, {"h", "水平(H)"}, {"L", "左旋(L)"},
        {"l", "左旋(L)"}, {"R", "右旋(R)"}, {"r", "右旋(R)"}, {"x", "未知"},    {"X", "未知"},
        {"", "未知"},     {"VV", "未知"},   {" V", "未知"},   {"H ", "未知"},   {"垂直", "未知"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(polarisationLabel(c.pola), c.label) << "s_pola '" << c.pola << "'";
    }
}

TEST(ChannelQuery, ChannelNameAndAccessTexts) {
    const struct {
        const char* ch;
        const char* sys;
        const char* shown;
    } cases[] = {
        {"CCTV-1", "高清电视", "CCTV-1(高清)"},
        {"CCTV-1", "标清电视", "CCTV-1"},
        {"数据广播", "数据", "数据广播(数据)"},
        {"中国之声", "广播", "中国之声"},
        {"测试", "测试或临传", "测试"},
        {"CCTV-1", "高清", "CCTV-1"},
        {"CCTV-1", "", "CCTV-1"},
        {"", "高清电视", "(高清)"},
    };
    for (const auto& c : cases) {
        ChannelRecord r;
        r.ch = c.ch;
        r.sys = c.sys;
        EXPECT_EQ(channelNameText(r), c.shown) << "s_ch '" << c.ch << "', s_sys '" << c.sys << "'";
    }
    EXPECT_EQ(accessText(true), "免费");
    EXPECT_EQ(accessText(false), "加密");
}

TEST(ChannelQuery, FillerRecords) {
    const struct {
        const char* ch;
        long long freq;
        bool filler;
    } cases[] = {{"", 0, true}, {"", 12000, false}, {"CCTV", 0, false}, {"CCTV", 12000, false}};
    for (const auto& c : cases) {
        ChannelRecord r;
        r.ch = c.ch;
        r.freq = c.freq;
        EXPECT_EQ(isFillerRecord(r), c.filler) << "s_ch '" << c.ch << "', s_freq " << c.freq;
    }
}

TEST(ChannelQuery, RowKindsByTheFirstCharacter) {
    const struct {
        const char* column1;
        RowKind kind;
    } cases[] = {
        {"频率", RowKind::Header},
        {"频", RowKind::Header},
        {"12000", RowKind::Channel},
        {"3840", RowKind::Channel},
        {"", RowKind::Channel},
        {"（无记录）", RowKind::NoResult},
        {"（没有找到任何记录）", RowKind::NoResult},
        {"(无记录)", RowKind::Channel}, // ASCII bracket
        {"★ E115.5【中星6B】：", RowKind::SatelliteHeading},
        {" ★ E115.5【中星6B】：", RowKind::Channel}, // not at the first byte
        {"提示：选卫星后点击[显示结果](也可在右边下拉表选)  →", RowKind::OverviewHint},
        {"　　　　☆ E115.5【中星6B】", RowKind::OverviewSatellite},
        {"☆ E115.5【中星6B】", RowKind::OverviewSatellite},
        {"率", RowKind::Channel},
        {"Ku", RowKind::Channel},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rowKindOf(c.column1), c.kind) << "column 1 '" << c.column1 << "'";
    }
}

TEST(ChannelQuery, BeginsWithCharacter) {
    const struct {
        const char* text;
        const char* character;
        bool begins;
    } cases[] = {
        {"频率", "频", true}, {"频", "频", true},     {"", "频", false},   {"a频", "频", false},
        {"☆ E1", "☆", true},  {"★ E1", "☆", false},   {"　☆", "　", true}, {"abc", "a", true},
        {"Abc", "a", false},  {"提示：", "提", true}, {"（", "（", true},  {"(", "（", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(beginsWithCharacter(c.text, c.character), c.begins)
            << "'" << c.text << "' begins with '" << c.character << "'";
    }
}

// --- grid building blocks -------------------------------------------------------------------

TEST(ChannelQuery, ResultGridLayout) {
    GridContent grid(4, kGridColumns);
    applyResultGridLayout(grid);
    const int widths[] = {120, 140, 130, 420, 100};
    const CellAlign aligns[] = {CellAlign::Right, CellAlign::Right, CellAlign::Right,
                                CellAlign::Centre, CellAlign::Centre};
    const int heights[] = {38, 32, 38, 35, 35};
    for (int c = 1; c <= kGridColumns; ++c) {
        const auto i = static_cast<std::size_t>(c - 1);
        EXPECT_EQ(grid.columnWidth(c), widths[i]) << "column " << c;
        const CellStyle& header = grid.style(1, c);
        EXPECT_EQ(header.textHeight, 33) << "header column " << c;
        EXPECT_TRUE(header.bold) << "header column " << c;
        EXPECT_EQ(header.align, CellAlign::Centre) << "header column " << c;
        for (int r = 2; r <= 4; ++r) {
            const CellStyle& data = grid.style(r, c);
            EXPECT_EQ(data.align, aligns[i]) << "cell " << r << "," << c;
            EXPECT_EQ(data.textHeight, heights[i]) << "cell " << r << "," << c;
            EXPECT_FALSE(data.bold) << "cell " << r << "," << c;
            EXPECT_EQ(data.background, std::nullopt) << "cell " << r << "," << c;
        }
    }
    EXPECT_EQ(grid.rowHeight(1), 48);
    for (int r = 2; r <= 4; ++r) {
        EXPECT_EQ(grid.rowHeight(r), 50) << "row " << r;
    }
    writeHeader(grid);
    const char* titles[] = {"频率", "极化", "符号率", "频 道 名", "权限"};
    for (int c = 1; c <= kGridColumns; ++c) {
        EXPECT_EQ(grid.text(1, c), titles[c - 1]) << "header column " << c;
    }
}

TEST(ChannelQuery, ChannelRowTextsAndAccessColours) {
    const struct {
        ChannelRecord record;
        const char* texts;
        Rgb access;
    } cases[] = {
        {channel("E115.5", "中星6B", 12395, "H", 27500, "CCTV-1", "高清电视", true),
         "12395|水平(H)|27500|CCTV-1(高清)|免费", kFree},
        {channel("E115.5", "中星6B", 3840, "v", 4420, "数据", "数据", false),
         "3840|垂直(V)|4420|数据(数据)|加密", kEncrypted},
        {channel("E134", "亚太6号", 4000, "x", 0, "测试", "测试或临传", true),
         "4000|未知|0|测试|免费", kFree},
        {channel("E134", "亚太6号", 0, "R", 30000, "空", "广播", false), "0|右旋(R)|30000|空|加密",
         kEncrypted},
    };
    for (const auto& c : cases) {
        GridContent grid(2, kGridColumns);
        writeChannelRow(grid, 2, c.record);
        std::string texts;
        for (int k = 1; k <= kGridColumns; ++k) {
            texts += (k > 1 ? "|" : "") + grid.text(2, k);
        }
        EXPECT_EQ(texts, c.texts) << "channel " << c.record.ch;
        EXPECT_EQ(grid.style(2, 5).background, std::optional<Rgb>(c.access))
            << "channel " << c.record.ch;
        for (int k = 1; k <= 4; ++k) {
            EXPECT_EQ(grid.style(2, k).background, std::nullopt)
                << "channel " << c.record.ch << ", column " << k;
        }
    }
}

TEST(ChannelQuery, SatelliteHeadingRow) {
    GridContent grid(3, kGridColumns);
    applyResultGridLayout(grid);
    writeSatelliteHeading(grid, 2, "E115.5", "中星6B");
    EXPECT_EQ(grid.text(2, 1), "★ E115.5【中星6B】：");
    EXPECT_EQ(grid.merges(), (std::vector<CellBlock>{{2, 1, 1, 5}})) << describe(grid.merges());
    for (int c = 1; c <= kGridColumns; ++c) {
        const CellStyle& s = grid.style(2, c);
        EXPECT_EQ(s.background, std::optional<Rgb>(kHeadingBlue)) << "column " << c;
        EXPECT_EQ(s.foreground, std::optional<Rgb>(kHeadingYellow)) << "column " << c;
        EXPECT_TRUE(s.bold) << "column " << c;
        EXPECT_EQ(s.align, CellAlign::Left) << "column " << c;
        if (c <= 3) {
            EXPECT_EQ(s.textHeight, 36) << "column " << c;
        }
        EXPECT_EQ(grid.style(3, c).background, std::nullopt) << "row 3, column " << c;
    }
}

TEST(ChannelQuery, NoResultCellIsLimitedToTheRowsThatExist) {
    const struct {
        int rows;
        std::optional<Rgb> foreground;
        CellBlock merged;
    } cases[] = {
        {2, std::nullopt, {2, 1, 1, 5}},
        {3, Rgb{0, 0, 0}, {2, 1, 2, 5}},
        {6, std::nullopt, {2, 1, 2, 5}},
    };
    for (const auto& c : cases) {
        GridContent grid(c.rows, kGridColumns);
        applyResultGridLayout(grid);
        writeNoResultCell(grid, "（无记录）", kFree, c.foreground);
        EXPECT_EQ(grid.text(2, 1), "（无记录）") << c.rows << " rows";
        EXPECT_EQ(grid.merges(), (std::vector<CellBlock>{c.merged}))
            << c.rows << " rows: " << describe(grid.merges());
        EXPECT_EQ(grid.style(2, 1).background, std::optional<Rgb>(kFree)) << c.rows << " rows";
        EXPECT_EQ(grid.style(2, 1).foreground, c.foreground) << c.rows << " rows";
        EXPECT_EQ(grid.style(2, 2).background, std::nullopt) << c.rows << " rows";
        for (int r = 2; r <= std::min(3, c.rows); ++r) {
            for (int k = 1; k <= kGridColumns; ++k) {
                EXPECT_EQ(grid.style(r, k).align, CellAlign::Centre)
                    << c.rows << " rows, cell " << r << "," << k;
            }
        }
    }
}

// --- the grouping pass ----------------------------------------------------------------------

struct GroupCase {
    const char* name;
    std::vector<std::string> column1; // rows 2, 3, ...
    bool tint;
    std::vector<std::pair<int, int>> merged; // first row and height, in columns 1 to 3 each
    std::set<int> tinted;
};

void checkGrouping(const GroupCase& c) {
    GridContent grid(static_cast<int>(c.column1.size()) + 1, kGridColumns);
    for (int r = 2; r <= grid.rowCount(); ++r) {
        grid.setBackground({r, 5, 1, 1}, kFree);
    }
    for (std::size_t i = 0; i < c.column1.size(); ++i) {
        grid.setText(static_cast<int>(i) + 2, 1, c.column1[i]);
    }
    groupTransponders(grid, c.tint);
    std::vector<CellBlock> expected;
    for (const auto& [first, rows] : c.merged) {
        for (int col = 1; col <= 3; ++col) {
            expected.push_back({first, col, rows, 1});
        }
    }
    EXPECT_EQ(grid.merges(), expected)
        << c.name << ": got " << describe(grid.merges()) << ", expected " << describe(expected);
    for (int r = 2; r <= grid.rowCount(); ++r) {
        for (int k = 1; k <= 4; ++k) {
            const std::optional<Rgb> want =
                c.tinted.contains(r) ? std::optional<Rgb>(kTint) : std::nullopt;
            EXPECT_EQ(grid.style(r, k).background, want) << c.name << ": cell " << r << "," << k;
        }
        EXPECT_EQ(grid.style(r, 5).background, std::optional<Rgb>(kFree))
            << c.name << ": access cell of row " << r;
    }
}

TEST(ChannelQuery, GroupTranspondersMergesAndTints) {
    const std::string h1 = "★ E100.5【亚洲2号】：";
    const std::string h2 = "★ E105.5【亚洲3S】：";
    const GroupCase cases[] = {
        {"no data rows", {}, true, {}, {}},
        {"one channel", {"12000"}, true, {}, {}},
        {"two on one frequency", {"12000", "12000"}, true, {{2, 2}}, {}},
        {"three transponders", {"3840", "4000", "12000"}, true, {}, {3}},
        {"three transponders untinted", {"3840", "4000", "12000"}, false, {}, {}},
        {"runs of three, one and two",
         {"3840", "3840", "3840", "4000", "12000", "12000"},
         true,
         {{2, 3}, {6, 2}},
         {5}},
        {"every second transponder",
         {"3840", "4000", "4000", "4100", "12000", "12000"},
         true,
         {{3, 2}, {6, 2}},
         {3, 4, 6, 7}},
        {"same rows untinted",
         {"3840", "4000", "4000", "4100", "12000", "12000"},
         false,
         {{3, 2}, {6, 2}},
         {}},
        // The empty row a filler leaves at the end is never merged nor tinted.
        {"trailing empty row after a run", {"12000", "12000", ""}, true, {{2, 2}}, {}},
        {"trailing empty row after a tinted one", {"3840", "4000", ""}, true, {}, {3}},
        {"two trailing empty rows", {"3840", "", ""}, true, {}, {}},
        // Headings of a search stand between their neighbours.
        {"headings between equal frequencies",
         {h1, "12000", "12000", h2, "12000"},
         false,
         {{3, 2}},
         {}},
        {"headings counted as transponders when tinted",
         {h1, "12000", "12000", h2, "12000"},
         true,
         {{3, 2}},
         {3, 4, 6}},
        {"equal texts apart stay apart", {"3840", "4000", "3840"}, true, {}, {3}},
    };
    for (const GroupCase& c : cases) {
        checkGrouping(c);
    }
}

TEST(ChannelQuery, GroupingKeepsHeadingMergesAndEveryText) {
    GridContent grid(5, kGridColumns);
    writeSatelliteHeading(grid, 2, "E115.5", "中星6B");
    grid.setText(3, 1, "12000");
    grid.setText(4, 1, "12000");
    writeSatelliteHeading(grid, 5, "E134", "亚太6号");
    groupTransponders(grid, false);
    const std::vector<CellBlock> expected = {
        {2, 1, 1, 5}, {5, 1, 1, 5}, {3, 1, 2, 1}, {3, 2, 2, 1}, {3, 3, 2, 1}};
    EXPECT_EQ(grid.merges(), expected) << describe(grid.merges());
    EXPECT_EQ(grid.text(4, 1), "12000");
}

// --- the combined query ---------------------------------------------------------------------

const char* const kSat = "E115.5（中星6B）";

std::string summaryOf(int n) {
    return " ◎ 总计" + std::to_string(n) +
           "个频道，是东经115.5度卫星，全部波段，全部极化，全部的所有电视节目。\r\n\r\n"
           " ◎ 卫星名称：中星6B";
}

TEST(ChannelQuery, CombinedQueryWithOneChannel) {
    const QueryGrid q = combinedQueryGrid(
        {channel("E115.5", "中星6B", 12395, "H", 27500, "CCTV-1", "高清电视", true)},
        selection(kSat));
    EXPECT_EQ(gridTexts(q.grid), "1: 频率 | 极化 | 符号率 | 频 道 名 | 权限\n"
                                 "2: 12395 | 水平(H) | 27500 | CCTV-1(高清) | 免费\n");
    EXPECT_EQ(q.recordCount, 1);
    EXPECT_EQ(q.shown, 1);
    EXPECT_EQ(q.statusText, summaryOf(1));
    EXPECT_TRUE(q.grid.merges().empty()) << describe(q.grid.merges());
    EXPECT_EQ(q.grid.columnCount(), 5);
    EXPECT_EQ(q.grid.currentRow(), 2);
    EXPECT_EQ(q.grid.currentColumn(), 4);
    EXPECT_EQ(q.grid.style(2, 1).background, std::nullopt);
    EXPECT_EQ(q.grid.style(2, 5).background, std::optional<Rgb>(kFree));
    EXPECT_EQ(q.grid.columnWidth(4), 420);
    EXPECT_EQ(q.grid.rowHeight(1), 48);
    EXPECT_EQ(q.grid.rowHeight(2), 50);
}

TEST(ChannelQuery, CombinedQueryMergesTwoChannelsOfOneTransponder) {
    const QueryGrid q = combinedQueryGrid(
        {channel("E115.5", "中星6B", 3840, "H", 27500, "CCTV-1", "标清电视", true),
         channel("E115.5", "中星6B", 3840, "H", 27500, "CCTV-2", "标清电视", false)},
        selection(kSat));
    EXPECT_EQ(gridTexts(q.grid), "1: 频率 | 极化 | 符号率 | 频 道 名 | 权限\n"
                                 "2: 3840 | 水平(H) | 27500 | CCTV-1 | 免费\n"
                                 "3: 3840 | 水平(H) | 27500 | CCTV-2 | 加密\n");
    const std::vector<CellBlock> expected = {{2, 1, 2, 1}, {2, 2, 2, 1}, {2, 3, 2, 1}};
    EXPECT_EQ(q.grid.merges(), expected) << describe(q.grid.merges());
    EXPECT_EQ(q.grid.style(3, 5).background, std::optional<Rgb>(kEncrypted));
    EXPECT_EQ(q.statusText, summaryOf(2));
}

TEST(ChannelQuery, CombinedQueryTintsTheSecondOfThreeTransponders) {
    const QueryGrid q =
        combinedQueryGrid({channel("E115.5", "中星6B", 3840, "H", 27500, "A", "标清电视", true),
                           channel("E115.5", "中星6B", 4000, "V", 27500, "B", "标清电视", true),
                           channel("E115.5", "中星6B", 4000, "V", 27500, "C", "标清电视", false),
                           channel("E115.5", "中星6B", 12000, "H", 43000, "D", "标清电视", true)},
                          selection(kSat));
    for (int r = 2; r <= 5; ++r) {
        const bool tinted = r == 3 || r == 4;
        for (int k = 1; k <= 4; ++k) {
            EXPECT_EQ(q.grid.style(r, k).background,
                      tinted ? std::optional<Rgb>(kTint) : std::nullopt)
                << "cell " << r << "," << k << "\n"
                << gridTexts(q.grid);
        }
    }
    EXPECT_EQ(q.grid.style(4, 5).background, std::optional<Rgb>(kEncrypted));
    EXPECT_EQ(q.grid.merges(), (std::vector<CellBlock>{{3, 1, 2, 1}, {3, 2, 2, 1}, {3, 3, 2, 1}}))
        << describe(q.grid.merges());
}

TEST(ChannelQuery, CombinedQueryWithAFillerRow) {
    // A filler sorts first (frequency 0); the count includes it, the grid does not.
    const QueryGrid q =
        combinedQueryGrid({filler("E115.5", "中星6B"),
                           channel("E115.5", "中星6B", 3840, "H", 27500, "A", "标清电视", true),
                           channel("E115.5", "中星6B", 12000, "V", 43000, "B", "标清电视", false)},
                          selection(kSat));
    EXPECT_EQ(gridTexts(q.grid), "1: 频率 | 极化 | 符号率 | 频 道 名 | 权限\n"
                                 "2: 3840 | 水平(H) | 27500 | A | 免费\n"
                                 "3: 12000 | 垂直(V) | 43000 | B | 加密\n"
                                 "4:  |  |  |  | \n");
    EXPECT_EQ(q.recordCount, 3);
    EXPECT_EQ(q.shown, 2);
    EXPECT_EQ(q.statusText, summaryOf(3));
    EXPECT_TRUE(q.grid.merges().empty()) << describe(q.grid.merges());
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(q.grid.style(4, k).background, std::nullopt) << "empty row, column " << k;
        EXPECT_EQ(q.grid.style(3, k).background,
                  k == 5 ? std::optional<Rgb>(kEncrypted) : std::optional<Rgb>(kTint))
            << "second transponder, column " << k;
    }
}

TEST(ChannelQuery, CombinedQueryWithNothingFound) {
    const struct {
        const char* name;
        std::vector<ChannelRecord> rows;
        int gridRows;
        CellBlock merged;
    } cases[] = {
        {"empty set", {}, 2, {2, 1, 1, 5}},
        {"one filler", {filler("E115.5", "中星6B")}, 2, {2, 1, 1, 5}},
        {"two fillers", {filler("E115.5", "中星6B"), filler("E115.5", "中星6B")}, 3, {2, 1, 2, 5}},
        {"three fillers",
         {filler("E115.5", "中星6B"), filler("E115.5", "中星6B"), filler("E115.5", "中星6B")},
         4,
         {2, 1, 2, 5}},
    };
    for (const auto& c : cases) {
        const QueryGrid q = combinedQueryGrid(c.rows, selection(kSat));
        EXPECT_EQ(q.statusText, " ● 没有任何记录存在，也请重新检查组合条件是否有问题！") << c.name;
        EXPECT_EQ(q.grid.rowCount(), c.gridRows) << c.name;
        EXPECT_EQ(q.recordCount, static_cast<int>(c.rows.size())) << c.name;
        EXPECT_EQ(q.shown, 0) << c.name;
        EXPECT_EQ(q.grid.text(1, 4), "频 道 名") << c.name;
        EXPECT_EQ(q.grid.text(2, 1), "（无记录）") << c.name;
        EXPECT_EQ(q.grid.style(2, 1).background, std::optional<Rgb>(kFree)) << c.name;
        EXPECT_EQ(q.grid.style(2, 1).foreground, std::nullopt) << c.name;
        EXPECT_EQ(q.grid.style(2, 1).align, CellAlign::Centre) << c.name;
        EXPECT_EQ(q.grid.merges(), (std::vector<CellBlock>{c.merged}))
            << c.name << ": " << describe(q.grid.merges());
        EXPECT_EQ(q.grid.currentRow(), 2) << c.name;
        EXPECT_EQ(q.grid.currentColumn(), 4) << c.name;
        for (int r = 2; r <= q.grid.rowCount(); ++r) {
            for (int k = 2; k <= 4; ++k) {
                EXPECT_EQ(q.grid.style(r, k).background, std::nullopt)
                    << c.name << ": cell " << r << "," << k;
            }
        }
    }
}

// --- the searches ---------------------------------------------------------------------------

std::vector<ChannelRecord> threeSatellites() {
    return {
        channel("E100.5", "亚洲2号", 3740, "H", 4420, "CCTV-4", "标清电视", true),
        channel("E105.5", "亚洲3S", 3760, "V", 26000, "CCTV-4", "标清电视", false),
        channel("E105.5", "亚洲3S", 3760, "V", 26000, "CCTV-4 HD", "高清电视", true),
        channel("E115.5", "中星6B", 12000, "H", 27500, "CCTV-4K", "数据", false),
    };
}

TEST(ChannelQuery, SearchOverThreeSatellites) {
    const std::vector<ChannelRecord> rows = threeSatellites();
    const QueryGrid q = searchGrid(rows, [](int n) { return channelSearchTexts("CCTV-4", n); });
    EXPECT_EQ(q.grid.rowCount(), static_cast<int>(rows.size()) + 4);
    EXPECT_EQ(gridTexts(q.grid), "1: 频率 | 极化 | 符号率 | 频 道 名 | 权限\n"
                                 "2: ★ E100.5【亚洲2号】： |  |  |  | \n"
                                 "3: 3740 | 水平(H) | 4420 | CCTV-4 | 免费\n"
                                 "4: ★ E105.5【亚洲3S】： |  |  |  | \n"
                                 "5: 3760 | 垂直(V) | 26000 | CCTV-4 | 加密\n"
                                 "6: 3760 | 垂直(V) | 26000 | CCTV-4 HD(高清) | 免费\n"
                                 "7: ★ E115.5【中星6B】： |  |  |  | \n"
                                 "8: 12000 | 水平(H) | 27500 | CCTV-4K(数据) | 加密\n");
    EXPECT_EQ(q.statusText, " ◎ 共找到4个频道。是：搜索【CCTV-4】后的结果。");
    EXPECT_EQ(q.recordCount, 4);
    EXPECT_EQ(q.shown, 4);
    const std::vector<CellBlock> expected = {{2, 1, 1, 5}, {4, 1, 1, 5}, {7, 1, 1, 5},
                                             {5, 1, 2, 1}, {5, 2, 2, 1}, {5, 3, 2, 1}};
    EXPECT_EQ(q.grid.merges(), expected) << describe(q.grid.merges());
    EXPECT_EQ(q.grid.currentRow(), 3);
    EXPECT_EQ(q.grid.currentColumn(), 4);
    for (int r : {2, 4, 7}) {
        EXPECT_EQ(q.grid.style(r, 1).background, std::optional<Rgb>(kHeadingBlue)) << "row " << r;
        EXPECT_EQ(q.grid.style(r, 1).foreground, std::optional<Rgb>(kHeadingYellow)) << "row " << r;
        EXPECT_TRUE(q.grid.style(r, 1).bold) << "row " << r;
        EXPECT_EQ(q.grid.style(r, 1).textHeight, 36) << "row " << r;
        EXPECT_EQ(q.grid.style(r, 1).align, CellAlign::Left) << "row " << r;
    }
    // No transponder of a search is tinted.
    for (int r : {3, 5, 6, 8}) {
        for (int k = 1; k <= 4; ++k) {
            EXPECT_EQ(q.grid.style(r, k).background, std::nullopt) << "cell " << r << "," << k;
        }
    }
}

TEST(ChannelQuery, SearchHeadingsNeverMergeWithTheirNeighbours) {
    const QueryGrid q =
        searchGrid({channel("E100.5", "亚洲2号", 12000, "H", 27500, "A", "标清电视", true),
                    channel("E100.5", "亚洲2号", 12000, "H", 27500, "B", "标清电视", true),
                    channel("E105.5", "亚洲3S", 12000, "H", 27500, "C", "标清电视", true),
                    channel("E105.5", "亚洲3S", 12000, "H", 27500, "D", "标清电视", true)},
                   [](int n) { return providerSearchTexts("TVB", n); });
    EXPECT_EQ(q.grid.rowCount(), 7) << gridTexts(q.grid);
    const std::vector<CellBlock> expected = {{2, 1, 1, 5}, {5, 1, 1, 5}, {3, 1, 2, 1},
                                             {3, 2, 2, 1}, {3, 3, 2, 1}, {6, 1, 2, 1},
                                             {6, 2, 2, 1}, {6, 3, 2, 1}};
    EXPECT_EQ(q.grid.merges(), expected) << describe(q.grid.merges()) << "\n" << gridTexts(q.grid);
    EXPECT_EQ(q.statusText, " ◎ 共找到4个频道。是：查找叫【TVB】的节目提供商后的结果。");
}

TEST(ChannelQuery, SearchWithOneChannelHasNoGrouping) {
    const QueryGrid q =
        searchGrid({channel("E134", "亚太6号", 3840, "H", 4420, "Sun TV", "标清电视", true)},
                   [](int n) { return channelSearchTexts("Sun", n); });
    EXPECT_EQ(gridTexts(q.grid), "1: 频率 | 极化 | 符号率 | 频 道 名 | 权限\n"
                                 "2: ★ E134【亚太6号】： |  |  |  | \n"
                                 "3: 3840 | 水平(H) | 4420 | Sun TV | 免费\n");
    EXPECT_EQ(q.grid.merges(), (std::vector<CellBlock>{{2, 1, 1, 5}})) << describe(q.grid.merges());
}

TEST(ChannelQuery, SearchWithNothingFound) {
    const struct {
        const char* name;
        std::vector<ChannelRecord> rows;
        bool provider;
        int gridRows;
        const char* cell;
        Rgb background;
        std::optional<Rgb> foreground;
        CellBlock merged;
    } cases[] = {
        {"channel search, empty set",
         {},
         false,
         2,
         "（没有找到任何记录）",
         {200, 255, 200},
         Rgb{0, 0, 0},
         {2, 1, 1, 5}},
        // No first row, so no heading: black stays the default text colour.
        {"provider search, empty set",
         {},
         true,
         2,
         "（无记录）",
         kFree,
         std::nullopt,
         {2, 1, 1, 5}},
        // With only fillers the first heading was written and keeps its yellow text.
        {"provider search, only a filler",
         {filler("E134", "亚太6号")},
         true,
         3,
         "（无记录）",
         kFree,
         kHeadingYellow,
         {2, 1, 2, 5}},
        {"channel search, fillers on two satellites",
         {filler("E100.5", "亚洲2号"), filler("E134", "亚太6号")},
         false,
         5,
         "（没有找到任何记录）",
         {200, 255, 200},
         Rgb{0, 0, 0},
         {2, 1, 2, 5}},
    };
    for (const auto& c : cases) {
        const QueryGrid q = searchGrid(c.rows, [&](int n) {
            return c.provider ? providerSearchTexts("无此商", n) : channelSearchTexts("无此台", n);
        });
        EXPECT_EQ(q.statusText, " ● 没有找到任何频道，同时也请重新检查输入的文字是否有问题！")
            << c.name;
        EXPECT_EQ(q.grid.rowCount(), c.gridRows) << c.name << "\n" << gridTexts(q.grid);
        EXPECT_EQ(q.shown, 0) << c.name;
        EXPECT_EQ(q.grid.text(1, 1), "频率") << c.name;
        EXPECT_EQ(q.grid.text(2, 1), c.cell) << c.name;
        EXPECT_EQ(q.grid.style(2, 1).background, std::optional<Rgb>(c.background)) << c.name;
        EXPECT_EQ(q.grid.style(2, 1).foreground, c.foreground) << c.name;
        EXPECT_EQ(q.grid.style(2, 1).align, CellAlign::Centre) << c.name;
        EXPECT_EQ(q.grid.merges(), (std::vector<CellBlock>{c.merged}))
            << c.name << ": " << describe(q.grid.merges());
        EXPECT_EQ(q.grid.currentRow(), 3) << c.name;
        EXPECT_EQ(q.grid.currentColumn(), 4) << c.name;
    }
}

TEST(ChannelQuery, SearchSkipsFillersButCountsThem) {
    const QueryGrid q =
        searchGrid({filler("E100.5", "亚洲2号"),
                    channel("E100.5", "亚洲2号", 3740, "H", 4420, "A台", "标清电视", true),
                    filler("E134", "亚太6号"),
                    channel("E134", "亚太6号", 3840, "V", 27500, "B台", "标清电视", false)},
                   [](int n) { return channelSearchTexts("台", n); });
    EXPECT_EQ(gridTexts(q.grid), "1: 频率 | 极化 | 符号率 | 频 道 名 | 权限\n"
                                 "2: ★ E100.5【亚洲2号】： |  |  |  | \n"
                                 "3: 3740 | 水平(H) | 4420 | A台 | 免费\n"
                                 "4: ★ E134【亚太6号】： |  |  |  | \n"
                                 "5: 3840 | 垂直(V) | 27500 | B台 | 加密\n"
                                 "6:  |  |  |  | \n"
                                 "7:  |  |  |  | \n");
    EXPECT_EQ(q.statusText, " ◎ 共找到4个频道。是：搜索【台】后的结果。");
    EXPECT_EQ(q.shown, 2);
}

} // namespace
} // namespace zorvast::channels
