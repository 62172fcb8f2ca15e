// `zorvast-cli table`, `search` and `provider` driven through the built program, against the
// built data package and a small package written here.
#include "cli/CliRunner.h"
#include "common/Text.h"
#include "support/ChannelFixture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace zorvast;
using namespace zorvast::testing::cli;
using zorvast::testing::TempFolder;

// ---------------------------------------------------------------------------------------------
// The small package: two satellites with channels, one without.

const std::string& smallPackage() {
    static const TempFolder folder;
    static const std::string path = [] {
        const std::string file = folder.file("small.sta");
        zorvast::testing::writePackage(
            file, zorvast::testing::storedDatabase(
                      {zorvast::testing::channelTable(),
                       zorvast::testing::satlistTable(
                           {{"E115.5", "中星6B"}, {"E125", "中星6A"}, {"E12", "短"}})}));
        return file;
    }();
    return path;
}

// ---------------------------------------------------------------------------------------------
// The parts of a whole-table text, written out here so the output is checked against literals.

std::string repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

std::string rule(const std::string& corner) {
    return corner + repeated("━", 26);
}

const std::string kColumnTitles = "┃频_率┃_极_化_┃码_率┃频道名称[收看权限]...";
const std::string kNote = "※以上资料是Zorvast(www.zorvast.cn)软件自动生成。";
const std::string kNothingToSave = "没有任何频道信息可以被保存，请重新选择列表里的显示条件。";

std::string wholeTable(const std::vector<std::string>& lines, const std::string& status) {
    std::string text = rule("┏") + "\r\n" + kColumnTitles + "\r\n" + rule("┣");
    for (const std::string& line : lines) {
        text += "\r\n" + line;
    }
    return text + "\r\n" + rule("┗") + "\r\n" + status + "\r\n\r\n  " + kNote;
}

struct SatelliteLines {
    std::string heading;
    std::vector<std::string> lines;
};

// A search's lines: each satellite's heading between rules, the first one right after the
// column titles' own rule.
std::vector<std::string> searchLines(const std::vector<SatelliteLines>& satellites) {
    std::vector<std::string> out;
    for (const SatelliteLines& s : satellites) {
        if (!out.empty()) {
            out.push_back(rule("┣"));
        }
        out.push_back("┃所在卫星：" + s.heading);
        out.push_back(rule("┣"));
        out.insert(out.end(), s.lines.begin(), s.lines.end());
    }
    return out;
}

std::string combinedStatus(int n, const std::string& degrees, const std::string& band,
                           const std::string& pol, const std::string& access,
                           const std::string& format, const std::string& name) {
    return " ◎ 总计" + std::to_string(n) + "个频道，是东经" + degrees + "度卫星，" + band +
           "波段，" + pol + "极化，" + access + "的" + format + "节目。\r\n\r\n ◎ 卫星名称：" +
           name;
}

// The pieces between CR LF pairs.
std::vector<std::string> crLfPieces(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        pieces.push_back(text.substr(start, end - start));
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

// Every line end is CR LF: no CR or LF on its own.
bool onlyCrLf(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) {
            return false;
        }
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            return false;
        }
    }
    return true;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos;
         at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

Outcome runShipped(const std::string& command, const std::vector<std::string>& args,
                   const RunSetting& setting = {}) {
    return runWithPackage(command, args, setting);
}

Outcome runSmall(const std::string& command, std::vector<std::string> args) {
    args.push_back("--package");
    args.push_back(smallPackage());
    return runWithPackage(command, args);
}

// ---------------------------------------------------------------------------------------------
// Whole texts from the small package.

struct TextCase {
    const char* name;
    std::string command;
    std::vector<std::string> args; // the small package is added
    std::string expected;
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name << ": " << c.command << " " << joined(c.args);
}

const TextCase kTextCases[] = {
    {"TableWithTheWindowsDefaults",
     "table",
     {"--sat", "E115.5"},
     wholeTable({"┃03840┃水平(H)┃27500┃CCTV-1[免费]，CCTV-2[加密]",
                 "┃04000┃垂直(V)┃04420┃凤凰卫视(高清)[免费]"},
                combinedStatus(3, "115.5", "全部", "全部", "全部", "所有电视", "中星6B"))},
    {"TableEverythingKeepsTheRadioRow",
     "table",
     {"--sat", "E115.5", "--format", "全部显示"},
     wholeTable({"┃03840┃水平(H)┃27500┃CCTV-1[免费]，CCTV-2[加密]",
                 "┃04000┃垂直(V)┃04420┃凤凰卫视(高清)[免费]", "┃12395┃垂直(V)┃27500┃广播A[免费]"},
                combinedStatus(4, "115.5", "全部", "全部", "全部", "全部显示", "中星6B"))},
    {"TableKuRadio",
     "table",
     {"--sat", "E115.5", "--band", "Ku", "--format", "广播"},
     wholeTable({"┃12395┃垂直(V)┃27500┃广播A[免费]"},
                combinedStatus(1, "115.5", "Ku", "全部", "全部", "广播", "中星6B"))},
    {"TableVerticalOnly",
     "table",
     {"--sat", "E115.5", "--pol", "垂直(V)", "--format", "全部显示"},
     wholeTable({"┃04000┃垂直(V)┃04420┃凤凰卫视(高清)[免费]", "┃12395┃垂直(V)┃27500┃广播A[免费]"},
                combinedStatus(2, "115.5", "全部", "垂直(V)", "全部", "全部显示", "中星6B"))},
    {"TableEncryptedOnly",
     "table",
     {"--sat", "E115.5", "--access", "加密"},
     wholeTable({"┃03840┃水平(H)┃27500┃CCTV-2[加密]"},
                combinedStatus(1, "115.5", "全部", "全部", "加密", "所有电视", "中星6B"))},
    {"TableOtherSatelliteHighDefinition",
     "table",
     {"--sat", "E125", "--format", "高清电视"},
     wholeTable({"┃03840┃垂直(V)┃27500┃CCTV-1 HD(高清)[加密]"},
                combinedStatus(1, "125", "全部", "全部", "全部", "高清电视", "中星6A"))},
    {"TableCBandFreeWithAQuoteInTheName",
     "table",
     {"--sat", "E125", "--band", "C", "--access", "免费"},
     wholeTable({"┃04100┃水平(H)┃06000┃O'Brien TV[免费]"},
                combinedStatus(1, "125", "C", "全部", "免费", "所有电视", "中星6A"))},
    {"SearchOverTwoSatellites",
     "search",
     {"--name", "CCTV"},
     wholeTable(
         searchLines({{"★ E115.5【中星6B】：", {"┃03840┃水平(H)┃27500┃CCTV-1[免费]，CCTV-2[加密]"}},
                      {"★ E125【中星6A】：", {"┃03840┃垂直(V)┃27500┃CCTV-1 HD(高清)[加密]"}}}),
         " ◎ 共找到3个频道。是：搜索【CCTV】后的结果。")},
    {"SearchWithAQuote",
     "search",
     {"--name", "O'Brien"},
     wholeTable(searchLines({{"★ E125【中星6A】：", {"┃04100┃水平(H)┃06000┃O'Brien TV[免费]"}}}),
                " ◎ 共找到1个频道。是：搜索【O'Brien】后的结果。")},
    {"SearchTwoChineseCharacters",
     "search",
     {"--name", "凤凰"},
     wholeTable(
         searchLines({{"★ E115.5【中星6B】：", {"┃04000┃垂直(V)┃04420┃凤凰卫视(高清)[免费]"}}}),
         " ◎ 共找到1个频道。是：搜索【凤凰】后的结果。")},
    {"ProviderOverTwoSatellites",
     "provider",
     {"--name", "中央电视台"},
     wholeTable(
         searchLines({{"★ E115.5【中星6B】：",
                       {"┃03840┃水平(H)┃27500┃CCTV-1[免费]，CCTV-2[加密]",
                        "┃12395┃垂直(V)┃27500┃广播A[免费]"}},
                      {"★ E125【中星6A】：", {"┃03840┃垂直(V)┃27500┃CCTV-1 HD(高清)[加密]"}}}),
         " ◎ 共找到4个频道。是：查找叫【中央电视台】的节目提供商后的结果。")},
    {"ProviderWithAQuote",
     "provider",
     {"--name", "X's"},
     wholeTable(searchLines({{"★ E125【中星6A】：", {"┃04100┃水平(H)┃06000┃O'Brien TV[免费]"}}}),
                " ◎ 共找到1个频道。是：查找叫【X's】的节目提供商后的结果。")},
};

class CliQueryText : public ::testing::TestWithParam<TextCase> {};

TEST_P(CliQueryText, WholeTableAsTheFileExportHasIt) {
    const TextCase& c = GetParam();
    const Outcome run = runSmall(c.command, c.args);
    const std::string call = c.command + " " + joined(c.args) + "\n" + described(run);
    ASSERT_EQ(run.status, 0) << call;
    EXPECT_EQ(run.err, "") << call;
    EXPECT_EQ(run.out, c.expected) << call << "\n--- expected:\n" << c.expected;
}

INSTANTIATE_TEST_SUITE_P(Cases, CliQueryText, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// The built package.

TEST(CliQueryShipped, TableIsBoxDrawnWithCrLf) {
    const Outcome run = runShipped("table", {"--sat", "E115.5"});
    ASSERT_EQ(run.status, 0) << described(run);
    EXPECT_EQ(run.err, "") << described(run);
    EXPECT_TRUE(run.out.starts_with("┏━━")) << run.out;
    EXPECT_TRUE(run.out.ends_with("\r\n\r\n  " + kNote)) << run.out;
    EXPECT_TRUE(onlyCrLf(run.out)) << run.out;

    const std::vector<std::string> pieces = crLfPieces(run.out);
    ASSERT_GT(pieces.size(), 9u) << run.out;
    EXPECT_EQ(pieces[0], rule("┏"));
    EXPECT_EQ(pieces[1], kColumnTitles);
    EXPECT_EQ(pieces[2], rule("┣"));
    EXPECT_NE(run.out.find("\r\n" + rule("┗") + "\r\n ◎ 总计"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("个频道，是东经115.5度卫星，全部波段，全部极化，全部的所有电视节目。"
                           "\r\n\r\n ◎ 卫星名称：中星6B\r\n"),
              std::string::npos)
        << run.out;

    // Transponder lines: five-digit frequency and symbol rate, short ones zero-padded.
    std::size_t transponders = 0;
    std::size_t padded = 0;
    for (std::size_t i = 3; i < pieces.size() && pieces[i] != rule("┗"); ++i) {
        const std::string& line = pieces[i];
        ASSERT_TRUE(line.starts_with("┃")) << "line " << i << ": " << line;
        const std::string afterBar = line.substr(std::string("┃").size());
        const std::size_t bar = afterBar.find("┃");
        ASSERT_NE(bar, std::string::npos) << line;
        const std::string frequency = afterBar.substr(0, bar);
        EXPECT_EQ(frequency.size(), 5u) << line;
        EXPECT_EQ(frequency.find_first_not_of("0123456789"), std::string::npos) << line;
        ++transponders;
        padded += frequency.starts_with("0") ? 1 : 0;
    }
    EXPECT_GT(transponders, 0u) << run.out;
    EXPECT_GT(padded, 0u) << "no zero-padded C-band frequency\n" << run.out;
}

TEST(CliQueryShipped, BandFiltersSplitTheTable) {
    // A satellite with both C and Ku transponders: the two halves make up the whole table.
    const std::string satellite = "E76.5";
    const Outcome all = runShipped("table", {"--sat", satellite});
    const Outcome cBand = runShipped("table", {"--sat", satellite, "--band", "C"});
    const Outcome kuBand = runShipped("table", {"--sat", satellite, "--band", "Ku"});
    for (const Outcome* run : {&all, &cBand, &kuBand}) {
        ASSERT_EQ(run->status, 0) << described(*run);
    }
    // Header block, bottom rule, the three summary lines, an empty line and the note.
    constexpr std::size_t kFrame = 9;
    const std::size_t allLines = crLfPieces(all.out).size();
    const std::size_t cLines = crLfPieces(cBand.out).size();
    const std::size_t kuLines = crLfPieces(kuBand.out).size();
    EXPECT_GT(cLines, kFrame) << cBand.out;
    EXPECT_GT(kuLines, kFrame) << kuBand.out;
    EXPECT_LT(cLines, allLines) << cBand.out;
    EXPECT_LT(kuLines, allLines) << kuBand.out;
    EXPECT_EQ(cLines - kFrame + kuLines - kFrame, allLines - kFrame)
        << "C " << cLines << ", Ku " << kuLines << ", all " << allLines;
    EXPECT_NE(cBand.out.find("度卫星，C波段，"), std::string::npos) << cBand.out;
    EXPECT_NE(kuBand.out.find("度卫星，Ku波段，"), std::string::npos) << kuBand.out;
    EXPECT_EQ(kuBand.out.find("\r\n┃0"), std::string::npos) << "a C-band line among Ku\n"
                                                            << kuBand.out;
}

TEST(CliQueryShipped, ChannelSearchListsSatellites) {
    const Outcome run = runShipped("search", {"--name", "CCTV"});
    ASSERT_EQ(run.status, 0) << described(run);
    EXPECT_TRUE(onlyCrLf(run.out)) << run.out;
    EXPECT_NE(run.out.find("\r\n┃所在卫星：★ E115.5【中星6B】：\r\n" + rule("┣") + "\r\n"),
              std::string::npos)
        << run.out;
    EXPECT_GE(occurrences(run.out, "\r\n┃所在卫星：★ "), 2u) << run.out;
    EXPECT_NE(run.out.find(" ◎ 共找到"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("个频道。是：搜索【CCTV】后的结果。\r\n\r\n  " + kNote),
              std::string::npos)
        << run.out;
}

struct GbkCase {
    const char* name;
    std::string command;
    std::vector<std::string> args;
};

void PrintTo(const GbkCase& c, std::ostream* os) {
    *os << c.name << ": " << c.command << " " << joined(c.args);
}

const GbkCase kGbkCases[] = {
    {"Table", "table", {"--sat", "E115.5", "--format", "全部显示"}},
    {"Search", "search", {"--name", "CCTV"}},
    {"Provider", "provider", {"--name", "中国卫通"}},
};

class CliQueryGbk : public ::testing::TestWithParam<GbkCase> {};

TEST_P(CliQueryGbk, SameTextAsGbkBytes) {
    const GbkCase& c = GetParam();
    const Outcome utf8 = runShipped(c.command, c.args);
    std::vector<std::string> gbkArgs = c.args;
    gbkArgs.push_back("--gbk");
    const Outcome gbk = runShipped(c.command, gbkArgs);
    ASSERT_EQ(utf8.status, 0) << described(utf8);
    ASSERT_EQ(gbk.status, 0) << described(gbk);
    EXPECT_EQ(gbk.err, "") << described(gbk);
    EXPECT_NE(gbk.out, utf8.out) << "the GBK output is the UTF-8 text";
    EXPECT_EQ(gbk.out, common::toGbk(utf8.out).bytes) << c.command << " " << joined(gbkArgs);
}

INSTANTIATE_TEST_SUITE_P(Cases, CliQueryGbk, ::testing::ValuesIn(kGbkCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Nothing to print: exit 1 with the message of the file export.

struct EmptyCase {
    const char* name;
    std::string command;
    std::vector<std::string> args; // the small package is added
};

void PrintTo(const EmptyCase& c, std::ostream* os) {
    *os << c.name << ": " << c.command << " " << joined(c.args);
}

const EmptyCase kEmptyCases[] = {
    {"ProviderWithoutChannels", "provider", {"--name", "没有节目"}},
    {"EmptyProvider", "provider", {"--name", ""}},
    {"SearchWithoutMatch", "search", {"--name", "xyz"}},
    {"SearchFiftyLettersIsAccepted", "search", {"--name", std::string(50, 'a')}},
    {"SearchTwentyFiveCharactersIsAccepted", "search", {"--name", repeated("中", 25)}},
    {"TableKuWithoutTelevision", "table", {"--sat", "E115.5", "--band", "Ku"}},
    {"TableSatelliteWithoutChannels", "table", {"--sat", "E12"}},
};

class CliQueryEmpty : public ::testing::TestWithParam<EmptyCase> {};

TEST_P(CliQueryEmpty, NothingToSave) {
    const EmptyCase& c = GetParam();
    const Outcome run = runSmall(c.command, c.args);
    const std::string call = c.command + " " + joined(c.args) + "\n" + described(run);
    EXPECT_EQ(run.status, 1) << call;
    EXPECT_EQ(run.out, "") << call;
    EXPECT_EQ(run.err, kNothingToSave + "\n") << call;
}

INSTANTIATE_TEST_SUITE_P(Cases, CliQueryEmpty, ::testing::ValuesIn(kEmptyCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Refusals: exit 2, nothing on stdout.

struct RefusedSearchCase {
    const char* name;
    std::string typed;
    std::string message; // as the tab shows it
};

void PrintTo(const RefusedSearchCase& c, std::ostream* os) {
    *os << c.name << ": search --name '" << c.typed << "'";
}

const std::string kTooShort = "输入的频道名太短，请重新输入！\r\n（不能小于3个字母或2个汉字）";
const std::string kTooLong = "输入的频道名太长，请重新输入！\r\n（不能大于50个字母或25个汉字）";

const RefusedSearchCase kRefusedSearchCases[] = {
    {"Empty", "", "输入的频道名不能为空！"},
    {"TwoLetters", "ab", kTooShort},
    {"OneChineseCharacter", "中", kTooShort},
    {"FiftyOneLetters", std::string(51, 'a'), kTooLong},
    {"TwentySixChineseCharacters", repeated("中", 26), kTooLong},
};

class CliQueryRefusedSearch : public ::testing::TestWithParam<RefusedSearchCase> {};

TEST_P(CliQueryRefusedSearch, TheTabsMessage) {
    const RefusedSearchCase& c = GetParam();
    const Outcome run = runSmall("search", {"--name", c.typed});
    const std::string call = "search --name '" + c.typed + "'\n" + described(run);
    EXPECT_EQ(run.status, 2) << call;
    EXPECT_EQ(run.out, "") << call;
    EXPECT_EQ(run.err, c.message + "\n") << call;
}

INSTANTIATE_TEST_SUITE_P(Cases, CliQueryRefusedSearch, ::testing::ValuesIn(kRefusedSearchCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct OptionErrorCase {
    const char* name;
    std::string command;
    std::vector<std::string> args; // the built package is added unless named
    std::string stderrPart;
};

void PrintTo(const OptionErrorCase& c, std::ostream* os) {
    *os << c.name << ": " << c.command << " " << joined(c.args);
}

const OptionErrorCase kOptionErrorCases[] = {
    {"UnknownSatellite", "table", {"--sat", "E999"}, "unknown satellite: E999"},
    {"NoSatellite", "table", {"--band", "C"}, "no satellite"},
    {"EmptySatellite", "table", {"--sat", ""}, "no satellite"},
    {"BadBand", "table", {"--sat", "E115.5", "--band", "X"}, "--band"},
    {"BandInLowerCase", "table", {"--sat", "E115.5", "--band", "ku"}, "--band"},
    {"BadPolarisation", "table", {"--sat", "E115.5", "--pol", "H"}, "--pol"},
    {"BadAccess", "table", {"--sat", "E115.5", "--access", "free"}, "--access"},
    {"BadFormat", "table", {"--sat", "E115.5", "--format", "电视"}, "--format"},
    {"UnknownTableOption", "table", {"--sat", "E115.5", "--name", "x"}, "unknown option"},
    {"SatelliteTwice", "table", {"--sat", "E115.5", "--sat", "E125"}, "twice"},
    {"TableMissingPackage",
     "table",
     {"--sat", "E115.5", "--package", "/nonexistent/satdata.sta"},
     "data package not found"},
    {"SearchWithoutName", "search", {}, "no name"},
    {"SearchOptionWithoutValue", "search", {"--name"}, "needs a value"},
    {"SearchUnknownOption", "search", {"--name", "CCTV", "--sat", "E115.5"}, "unknown option"},
    {"ProviderWithoutName", "provider", {"--gbk"}, "no name"},
    {"ProviderMissingPackage",
     "provider",
     {"--name", "中国卫通", "--package", "/nonexistent/satdata.sta"},
     "data package not found"},
};

class CliQueryOptionError : public ::testing::TestWithParam<OptionErrorCase> {};

TEST_P(CliQueryOptionError, ExitsTwoWithAOneLineReason) {
    const OptionErrorCase& c = GetParam();
    const Outcome run = runShipped(c.command, c.args);
    const std::string call = c.command + " " + joined(c.args) + "\n" + described(run);
    expectRefused(call, run, c.stderrPart, true);
}

INSTANTIATE_TEST_SUITE_P(Cases, CliQueryOptionError, ::testing::ValuesIn(kOptionErrorCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Every item text of every list as an option; any other text refused with the list named.

struct ChoiceCase {
    const char* name;
    std::string option;
    std::string item;
    int status;       // 0: a table naming the item; 1: nothing to print
    std::string said; // where the summary names the item
};

void PrintTo(const ChoiceCase& c, std::ostream* os) {
    *os << c.name << ": table --sat E115.5 " << c.option << " " << c.item;
}

const ChoiceCase kChoiceCases[] = {
    {"BandAll", "--band", "全部", 0, "度卫星，全部波段，"},
    {"BandKu", "--band", "Ku", 1, ""},
    {"BandC", "--band", "C", 0, "度卫星，C波段，"},
    {"PolarisationAll", "--pol", "全部", 0, "波段，全部极化，"},
    {"PolarisationHorizontal", "--pol", "水平(H)", 0, "波段，水平(H)极化，"},
    {"PolarisationVertical", "--pol", "垂直(V)", 0, "波段，垂直(V)极化，"},
    {"AccessAll", "--access", "全部", 0, "极化，全部的"},
    {"AccessFree", "--access", "免费", 0, "极化，免费的"},
    {"AccessEncrypted", "--access", "加密", 0, "极化，加密的"},
    {"FormatEverything", "--format", "全部显示", 0, "的全部显示节目。"},
    {"FormatTelevision", "--format", "所有电视", 0, "的所有电视节目。"},
    {"FormatStandard", "--format", "标清电视", 0, "的标清电视节目。"},
    {"FormatHighDefinition", "--format", "高清电视", 0, "的高清电视节目。"},
    {"FormatTestOrFeed", "--format", "测试或临传", 1, ""},
    {"FormatRadio", "--format", "广播", 0, "的广播节目。"},
    {"FormatData", "--format", "数据", 1, ""},
};

class CliQueryChoice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(CliQueryChoice, EveryItemTextIsAnOption) {
    const ChoiceCase& c = GetParam();
    const Outcome run = runSmall("table", {"--sat", "E115.5", c.option, c.item});
    const std::string call = c.option + " " + c.item + "\n" + described(run);
    ASSERT_EQ(run.status, c.status) << call;
    if (c.status == 0) {
        EXPECT_EQ(run.err, "") << call;
        EXPECT_NE(run.out.find(c.said), std::string::npos) << call;
    } else {
        EXPECT_EQ(run.err, kNothingToSave + "\n") << call;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CliQueryChoice, ::testing::ValuesIn(kChoiceCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct UnknownChoiceCase {
    const char* name;
    std::string option;
    std::string value;
    std::string message; // the whole of stderr but its line end
};

void PrintTo(const UnknownChoiceCase& c, std::ostream* os) {
    *os << c.name << ": " << c.option << " '" << c.value << "'";
}

const UnknownChoiceCase kUnknownChoiceCases[] = {
    {"Band", "--band", "X", "--band takes one of 全部, Ku, C; not X"},
    {"BandInLowerCase", "--band", "ku", "--band takes one of 全部, Ku, C; not ku"},
    {"BandEmpty", "--band", "", "--band takes one of 全部, Ku, C; not "},
    {"Polarisation", "--pol", "H", "--pol takes one of 全部, 水平(H), 垂直(V); not H"},
    {"PolarisationOfTheGrid", "--pol", "左旋(L)",
     "--pol takes one of 全部, 水平(H), 垂直(V); not 左旋(L)"},
    {"Access", "--access", "free", "--access takes one of 全部, 免费, 加密; not free"},
    {"Format", "--format", "电视",
     "--format takes one of 全部显示, 所有电视, 标清电视, 高清电视, 测试或临传, 广播, 数据; "
     "not 电视"},
    {"FormatWithALineEnd", "--format", "广\n播",
     "--format takes one of 全部显示, 所有电视, 标清电视, 高清电视, 测试或临传, 广播, 数据; "
     "not 广 播"},
};

class CliQueryUnknownChoice : public ::testing::TestWithParam<UnknownChoiceCase> {};

TEST_P(CliQueryUnknownChoice, IsRefusedNamingTheItems) {
    const UnknownChoiceCase& c = GetParam();
    const Outcome run = runShipped("table", {"--sat", "E115.5", c.option, c.value});
    const std::string call = c.option + " '" + c.value + "'\n" + described(run);
    EXPECT_EQ(run.status, 2) << call;
    EXPECT_EQ(run.out, "") << call;
    EXPECT_EQ(run.err, c.message + "\n") << call;
}

INSTANTIATE_TEST_SUITE_P(Cases, CliQueryUnknownChoice, ::testing::ValuesIn(kUnknownChoiceCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Data package and temporary files.

TEST(CliQueryPackage, FoundInTheCurrentFolder) {
    const Outcome run = runProgram({"table", "--sat", "E115.5"},
                                   {kCli, "", fs::path(kPackage).parent_path().string()});
    EXPECT_EQ(run.status, 0) << described(run);
    EXPECT_TRUE(run.out.starts_with(rule("┏"))) << described(run);
}

TEST(CliQueryTemporaryFiles, NothingIsLeftBehind) {
    const struct {
        std::string command;
        std::vector<std::string> args;
    } calls[] = {
        {"table", {"--sat", "E115.5"}},
        {"table", {"--sat", "E115.5", "--gbk"}},
        {"table", {"--sat", "E999"}},
        {"table", {"--sat", "E115.5", "--band", "X"}},
        {"search", {"--name", "CCTV"}},
        {"search", {"--name", "ab"}},
        {"search", {"--name", "没有这个频道"}},
        {"provider", {"--name", "中国卫通"}},
        {"provider", {"--name", "没有节目"}},
        {"provider", {"--name", "中国卫通", "--package", "/nonexistent/satdata.sta"}},
    };
    for (const auto& call : calls) {
        TempFolder tmpdir;
        const Outcome run = runShipped(call.command, call.args, {kCli, tmpdir.path().string(), ""});
        EXPECT_NE(run.status, -1) << described(run);
        std::vector<std::string> left;
        for (const fs::directory_entry& entry : fs::directory_iterator(tmpdir.path())) {
            left.push_back(entry.path().filename().string());
        }
        EXPECT_TRUE(left.empty()) << call.command << " " << joined(call.args) << " left "
                                  << joined(left);
    }
}

TEST(CliQueryUsage, NamesTheNewCommands) {
    const Outcome usage = runProgram({});
    EXPECT_EQ(usage.status, 2) << described(usage);
    for (const char* line : {"zorvast-cli table --sat CODE", "zorvast-cli search --name TEXT",
                             "zorvast-cli provider --name TEXT"}) {
        EXPECT_NE(usage.err.find(line), std::string::npos) << line << "\n" << described(usage);
    }
}

// Each choice option lists the item texts of its list, in list order.
TEST(CliQueryUsage, ListsEveryItemOfEachList) {
    const Outcome usage = runProgram({});
    for (const char* part :
         {"[--band 全部|Ku|C]", "[--pol 全部|水平(H)|垂直(V)]", "[--access 全部|免费|加密]",
          "[--format 全部显示|所有电视|标清电视|高清电视|测试或临传|广播|数据]"}) {
        EXPECT_NE(usage.err.find(part), std::string::npos) << part << "\n" << described(usage);
    }
}

} // namespace
