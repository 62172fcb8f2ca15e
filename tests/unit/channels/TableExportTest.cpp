#include "channels/query/TableExport.h"

#include "ChannelRecords.h"
#include "channels/query/ChannelQuery.h"
#include "common/Text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace zorvast::channels {
namespace {

using zorvast::testing::channel;
using zorvast::testing::filler;

CombinedSelection selectionOf(const char* satellite) {
    CombinedSelection s;
    s.satellite = satelliteChoiceOf(satellite);
    return s;
}

// Written out here rather than taken from ruleLine, so both are checked against each other.
std::string rule(const char* corner) {
    std::string line = corner;
    for (int i = 0; i < 26; ++i) {
        line += "━";
    }
    return line;
}

const std::string kTitles = "┃频_率┃_极_化_┃码_率┃频道名称[收看权限]...";
const std::string kNote = "※以上资料是Zorvast(www.zorvast.cn)软件自动生成。";

std::string headerBlock() {
    return rule("┏") + "\r\n" + kTitles + "\r\n" + rule("┣");
}

// A combined query over two transponders, the first carrying three channels.
QueryGrid twoTransponders() {
    return combinedQueryGrid(
        {channel("E115.5", "中星6B", 3840, "H", 4420, "CCTV-1", "标清电视", true),
         channel("E115.5", "中星6B", 3840, "H", 4420, "CCTV-2", "高清电视", false),
         channel("E115.5", "中星6B", 3840, "H", 4420, "CCTV-3", "标清电视", true),
         channel("E115.5", "中星6B", 12395, "V", 27500, "CCTV-4", "标清电视", false)},
        selectionOf("E115.5（中星6B）"));
}

// A search with matches on two satellites.
QueryGrid twoSatellites() {
    return searchGrid(
        {channel("E100.5", "亚洲2号", 3740, "H", 4420, "凤凰卫视", "标清电视", true),
         channel("E134", "亚太6号", 12395, "V", 27500, "凤凰卫视HD", "高清电视", false),
         channel("E134", "亚太6号", 12395, "V", 27500, "凤凰资讯", "标清电视", false)},
        [](int n) { return channelSearchTexts("凤凰", n); });
}

GridContent overviewGrid() {
    GridContent grid(4, kGridColumns);
    applyResultGridLayout(grid);
    writeHeader(grid);
    grid.setText(2, 1, "提示：选卫星后点击[显示结果](也可在右边下拉表选)  →");
    grid.setText(3, 1, "　　　　☆ E134【亚太6号】");
    grid.setText(4, 1, "　　　　☆ E115.5【中星6B】");
    for (int r = 2; r <= 4; ++r) {
        grid.merge({r, 1, 1, kGridColumns});
    }
    return grid;
}

TEST(TableExport, FixedPieces) {
    EXPECT_EQ(ruleLine("┏"), "┏━━━━━━━━━━━━━━━━━━━━━━━━━━");
    EXPECT_EQ(ruleLine("┣"), rule("┣"));
    EXPECT_EQ(ruleLine("┗"), rule("┗"));
    EXPECT_EQ(common::gbkByteLength(ruleLine("┗")), 54u);
    EXPECT_EQ(tableHeaderBlock(), headerBlock());
    EXPECT_EQ(generatedNote(), kNote);
}

TEST(TableExport, WhichGridsHaveChannelRows) {
    const QueryGrid combined = twoTransponders();
    const QueryGrid search = twoSatellites();
    const QueryGrid combinedNone = combinedQueryGrid({}, selectionOf("E115.5（中星6B）"));
    const QueryGrid channelNone =
        searchGrid({}, [](int n) { return channelSearchTexts("无此台", n); });
    const QueryGrid providerFillers = searchGrid(
        {filler("E134", "亚太6号")}, [](int n) { return providerSearchTexts("无此商", n); });
    // The first satellite shows no channel: its heading is followed by the next heading.
    const QueryGrid firstSatelliteEmpty =
        searchGrid({filler("E100.5", "亚洲2号"),
                    channel("E134", "亚太6号", 12395, "V", 27500, "凤凰资讯", "标清电视", false)},
                   [](int n) { return channelSearchTexts("凤凰", n); });
    GridContent headerOnly(1, kGridColumns);
    writeHeader(headerOnly);
    const struct {
        const char* name;
        GridContent grid;
        bool has;
    } cases[] = {
        {"combined query result", combined.grid, true},
        {"search result", search.grid, true},
        {"overview", overviewGrid(), false},
        {"combined query without records", combinedNone.grid, false},
        {"channel search without records", channelNone.grid, false},
        {"provider search with only a filler", providerFillers.grid, false},
        {"search whose first satellite shows nothing", firstSatelliteEmpty.grid, false},
        {"header only", headerOnly, false},
        {"empty grid", GridContent(), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hasChannelRows(c.grid), c.has) << c.name;
        if (!c.has) {
            // Nothing to save, copy or copy as a row.
            EXPECT_EQ(buildTableText(c.grid), "") << c.name;
            EXPECT_EQ(finalTableText(c.grid, "status"), "") << c.name;
        }
    }
}

TEST(TableExport, CombinedQueryTable) {
    const QueryGrid q = twoTransponders();
    const std::string lines =
        headerBlock() + "\r\n┃03840┃水平(H)┃04420┃CCTV-1[免费]，CCTV-2(高清)[加密]，CCTV-3[免费]"
                        "\r\n┃12395┃垂直(V)┃27500┃CCTV-4[加密]";
    EXPECT_EQ(buildTableText(q.grid), lines);
    EXPECT_EQ(finalTableText(q.grid, q.statusText),
              lines + "\r\n" + rule("┗") + "\r\n" +
                  " ◎ 总计4个频道，是东经115.5度卫星，全部波段，全部极化，全部的所有电视节目。"
                  "\r\n\r\n ◎ 卫星名称：中星6B" +
                  "\r\n\r\n  " + kNote);
}

TEST(TableExport, ShortValuesGetALeadingZero) {
    const struct {
        long long freq;
        long long sr;
        const char* line;
    } cases[] = {
        {3840, 4420, "┃03840┃水平(H)┃04420┃A[免费]"},
        {12395, 27500, "┃12395┃水平(H)┃27500┃A[免费]"},
        {9999, 10000, "┃09999┃水平(H)┃10000┃A[免费]"},
        {10000, 999, "┃10000┃水平(H)┃0999┃A[免费]"},
        {11000, 0, "┃11000┃水平(H)┃00┃A[免费]"},
        {0, 30000, "┃00┃水平(H)┃30000┃A[免费]"},
    };
    for (const auto& c : cases) {
        const QueryGrid q = combinedQueryGrid(
            {channel("E115.5", "中星6B", c.freq, "H", c.sr, "A", "标清电视", true)},
            selectionOf("E115.5（中星6B）"));
        EXPECT_EQ(buildTableText(q.grid), headerBlock() + "\r\n" + c.line)
            << "frequency " << c.freq << ", symbol rate " << c.sr;
    }
}

TEST(TableExport, SearchTableOverTwoSatellites) {
    const QueryGrid q = twoSatellites();
    const std::string lines = headerBlock() + "\r\n┃所在卫星：★ E100.5【亚洲2号】：\r\n" +
                              rule("┣") + "\r\n┃03740┃水平(H)┃04420┃凤凰卫视[免费]" + "\r\n" +
                              rule("┣") + "\r\n┃所在卫星：★ E134【亚太6号】：\r\n" + rule("┣") +
                              "\r\n┃12395┃垂直(V)┃27500┃凤凰卫视HD(高清)[加密]，凤凰资讯[加密]";
    EXPECT_EQ(buildTableText(q.grid), lines);
    EXPECT_EQ(finalTableText(q.grid, q.statusText),
              lines + "\r\n" + rule("┗") + "\r\n ◎ 共找到3个频道。是：搜索【凤凰】后的结果。" +
                  "\r\n\r\n  " + kNote);
}

TEST(TableExport, FillerRowsAndSatelliteChanges) {
    // The empty row a filler leaves at the end is left out.
    const QueryGrid withFiller =
        combinedQueryGrid({filler("E115.5", "中星6B"),
                           channel("E115.5", "中星6B", 12395, "V", 27500, "A", "标清电视", true)},
                          selectionOf("E115.5（中星6B）"));
    EXPECT_EQ(buildTableText(withFiller.grid), headerBlock() + "\r\n┃12395┃垂直(V)┃27500┃A[免费]");

    // The next satellite's first channel on the same frequency starts its own line.
    const QueryGrid sameFrequency =
        searchGrid({channel("E100.5", "亚洲2号", 12395, "V", 27500, "A", "标清电视", true),
                    channel("E134", "亚太6号", 12395, "V", 27500, "B", "标清电视", true)},
                   [](int n) { return channelSearchTexts("台台台", n); });
    EXPECT_EQ(buildTableText(sameFrequency.grid),
              headerBlock() + "\r\n┃所在卫星：★ E100.5【亚洲2号】：\r\n" + rule("┣") +
                  "\r\n┃12395┃垂直(V)┃27500┃A[免费]\r\n" + rule("┣") +
                  "\r\n┃所在卫星：★ E134【亚太6号】：\r\n" + rule("┣") +
                  "\r\n┃12395┃垂直(V)┃27500┃B[免费]");
}

TEST(TableExport, ExportTextsAreAllGbk) {
    const QueryGrid q = twoSatellites();
    const std::string text = finalTableText(q.grid, q.statusText);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(common::fromGbk(common::toGbk(text)), text);
    const common::Gbk header = common::toGbk(tableHeaderBlock());
    // The heading rule test looks at the last four GBK bytes: two rule characters.
    EXPECT_EQ(header.bytes.substr(header.size() - 4), common::toGbk("━━").bytes);
}

TEST(TableExport, RowTextFromEachColumn) {
    const GridContent grid = twoTransponders().grid;
    const std::string head = "频率：3840 (Mhz/兆赫)，极化：水平(H)，符号率：4420 (Kbps/千比特)"
                             "\r\n\r\n频道：";
    const std::string last = "频率：12395 (Mhz/兆赫)，极化：垂直(V)，符号率：27500 (Kbps/千比特)"
                             "\r\n\r\n频道：CCTV-4[加密]";
    const struct {
        int row;
        int column;
        std::string text;
    } cases[] = {
        {2, 1, head + "CCTV-1[免费]，CCTV-2(高清)[加密]，CCTV-3[免费]"},
        // From the middle of a transponder only the channels below are appended.
        {3, 1, head + "CCTV-2(高清)[加密]，CCTV-3[免费]"},
        {4, 1, head + "CCTV-3[免费]"},
        {2, 4, head + "CCTV-1[免费]"},
        {3, 2, head + "CCTV-2(高清)[加密]"},
        {3, 5, head + "CCTV-2(高清)[加密]"},
        {5, 1, last},
        {5, 4, last},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(buildRowText(grid, c.row, c.column), c.text)
            << "row " << c.row << ", column " << c.column;
    }
}

TEST(TableExport, SatelliteTextOfASummary) {
    const struct {
        const char* status;
        const char* satellite;
    } cases[] = {
        {" ◎ 总计4个频道，是东经115.5度卫星，全部波段，全部极化，全部的所有电视节目。"
         "\r\n\r\n ◎ 卫星名称：中星6B",
         "东经115.5度（中星6B）卫星"},
        {" ◎ 总计1个频道，是东经1.0度卫星，C波段，垂直(V)极化，加密的全部显示节目。"
         "\r\n\r\n ◎ 卫星名称：Thor 5",
         "东经1.0度（Thor 5）卫星"},
        // Without the markers each part is the whole text.
        {"", "（）卫星"},
        {"abc", "abc（abc）卫星"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(satelliteTextOfSummary(c.status), c.satellite) << "status '" << c.status << "'";
    }
}

TEST(TableExport, RowCopyNamesTheSatellite) {
    const QueryGrid combined = twoTransponders();
    EXPECT_EQ(rowCopyText(combined.grid, 3, 4, combined.statusText),
              "频率：3840 (Mhz/兆赫)，极化：水平(H)，符号率：4420 (Kbps/千比特)\r\n\r\n"
              "频道：CCTV-2(高清)[加密]\r\n\r\n所在卫星：东经115.5度（中星6B）卫星\r\n\r\n" +
                  kNote);

    // After a search the heading above the row names the satellite.
    const QueryGrid search = twoSatellites();
    const struct {
        int row;
        const char* satellite;
    } cases[] = {
        {3, "E100.5（亚洲2号）卫星"},
        {5, "E134（亚太6号）卫星"},
        {6, "E134（亚太6号）卫星"},
        {4, "E134（亚太6号）卫星"},
        // Nothing above the header: the status text is all there is.
        {1, "：搜索【凤凰】后的结果。（搜索【凤凰】后的结果。）卫星"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(satelliteTextForRow(search.grid, c.row, search.statusText), c.satellite)
            << "row " << c.row;
    }
    EXPECT_EQ(rowCopyText(search.grid, 5, 1, search.statusText),
              "频率：12395 (Mhz/兆赫)，极化：垂直(V)，符号率：27500 (Kbps/千比特)\r\n\r\n"
              "频道：凤凰卫视HD(高清)[加密]，凤凰资讯[加密]\r\n\r\n"
              "所在卫星：E134（亚太6号）卫星\r\n\r\n" +
                  kNote);
    EXPECT_EQ(satelliteTextForRow(combined.grid, 2, combined.statusText),
              "东经115.5度（中星6B）卫星");
}

TEST(TableExport, HeadingCodes) {
    const struct {
        const char* column1;
        std::optional<std::string> code;
    } cases[] = {
        {"★ E115.5【中星6B】：", "E115.5"},
        {"　　　　☆ E110.5【中星10号】", "E110.5"},
        {"  ★ E1【亚洲】：", "E1"},
        {"　 ☆ W1.0【Thor 5】", "W1.0"},
        {"★ E11【测试】：", "E11"},
        {"★ 中星【x】", "中星"},
        {"★ E115.5", "E115.5"},           // no "【": the whole rest
        {"★E115.5【中星6B】：", "115.5"}, // three bytes go, blank or not
        {"★ 【x】", ""},
        {"★", ""},
        {"提示：选卫星后点击[显示结果](也可在右边下拉表选)  →", std::nullopt},
        {"12000", std::nullopt},
        {"（无记录）", std::nullopt},
        {"频率", std::nullopt},
        {"", std::nullopt},
        {"　　", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(headingCodeOf(c.column1), c.code) << "column 1 '" << c.column1 << "'";
    }
}

TEST(TableExport, HeadingPicksTheFirstItemThatBeginsWithItsCode) {
    const std::vector<std::string> items = {"E110.5（中星10号）", "E11（测试）", "E115.5（中星6B）",
                                            "W1.0（Thor 5）"};
    const struct {
        const char* code;
        std::optional<std::size_t> index;
    } cases[] = {
        // "E11" begins the longer "E110.5", which comes first in the list.
        {"E11", 0},
        {"E115.5", 2},
        {"e115.5", 2},
        {"w1.0", 3},
        {"E87.5", {}},
        {"", 0},
        {"E110.5（中星10号）x", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(satelliteItemIndexFor(items, c.code), c.index) << "code '" << c.code << "'";
    }
    EXPECT_EQ(satelliteItemIndexFor({}, "E11"), std::nullopt);
    EXPECT_EQ(satelliteItemIndexFor(items, *headingCodeOf("★ E11【测试】：")),
              std::optional<std::size_t>(0));
}

TEST(TableExport, RowDetails) {
    const GridContent combined = twoTransponders().grid;
    const GridContent search = twoSatellites().grid;
    const GridContent overview = overviewGrid();
    const std::string details = "频率：3840(Mhz/兆赫),极化：水平(H),符号率：4420(Kbps/千比特)"
                                "\r\n\r\n频道：CCTV-2(高清)[加密节目]";
    const struct {
        const char* name;
        const GridContent& grid;
        int row;
        int column;
        std::optional<std::string> text;
    } cases[] = {
        {"channel, name column", combined, 3, 4, details},
        {"channel, frequency column", combined, 3, 1, details + "  一组"},
        {"channel, polarisation column", combined, 3, 2, details},
        {"channel, access column", combined, 3, 5, details},
        {"search channel", search, 3, 1,
         "频率：3740(Mhz/兆赫),极化：水平(H),符号率：4420(Kbps/千比特)\r\n\r\n"
         "频道：凤凰卫视[免费节目]  一组"},
        {"search heading", search, 4, 1, std::nullopt},
        {"search heading, other column", search, 2, 4, std::nullopt},
        {"overview hint", overview, 2, 1, std::nullopt},
        {"overview satellite", overview, 3, 4, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rowDetailsText(c.grid, c.row, c.column), c.text)
            << c.name << ": row " << c.row << ", column " << c.column;
    }
}

} // namespace
} // namespace zorvast::channels
