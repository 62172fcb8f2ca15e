// `zorvast-cli spacing` and `zorvast-cli obstacle` driven through the built program.
#include "cli/CliRunner.h"
#include "pointing/Messages.h"
#include "pointing/calculators/FeedSpacing.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace zorvast::testing::cli;
using zorvast::testing::TempFolder;

Outcome runSpacing(const std::vector<std::string>& args, const RunSetting& setting = {}) {
    return runWithPackage("spacing", args, setting);
}

Outcome runObstacle(std::vector<std::string> args) {
    args.insert(args.begin(), "obstacle");
    return runProgram(args);
}

// The too-close warning as output lines.
std::vector<std::string> warningLines() {
    return linesOf(withoutCr(std::string(zorvast::pointing::kFeedsTooCloseText)));
}

const std::vector<std::string> kBeijingTyped = {"--lon", "116.46", "--lat", "39.92"};

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// ---------------------------------------------------------------------------------------------
// spacing: text output.

struct SpacingTextCase {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> lines; // before the warning
    bool warning;
};

void PrintTo(const SpacingTextCase& c, std::ostream* os) {
    *os << c.name << ": spacing " << joined(c.args);
}

const SpacingTextCase kSpacingTextCases[] = {
    {"PrimeFocusDefaultModel",
     with({"--main", "E115.5", "--offset", "E125"}, kBeijingTyped),
     {"左方：15cm", "下方：3cm", "极化角：10.1"},
     false},
    {"PrimeFocusModelNamed",
     with({"--main", "E115.5", "--offset", "E125", "--feed", "prime", "--model", "中卫[150cm]"},
          kBeijingTyped),
     {"左方：15cm", "下方：3cm", "极化角：10.1"},
     false},
    {"OffsetDishDefaultModel",
     with({"--main", "E115.5", "--offset", "E125", "--feed", "offset"}, kBeijingTyped),
     {"左方：9cm", "上方：2cm", "极化角：10.1"},
     false},
    {"OffsetDishModelNamed",
     with({"--main", "E115.5", "--offset", "E125", "--feed", "offset", "--model", "中卫[60cm]"},
          kBeijingTyped),
     {"左方：9cm", "上方：2cm", "极化角：10.1"},
     false},
    {"SecondSatelliteWestPrimeFocus",
     with({"--main", "E125", "--offset", "E115.5"}, kBeijingTyped),
     {"右方：15cm", "上方：3cm", "极化角：-1.1"},
     false},
    {"SecondSatelliteWestOffsetDish",
     with({"--main", "E125", "--offset", "E115.5", "--feed", "offset"}, kBeijingTyped),
     {"右方：9cm", "下方：2cm", "极化角：-1.1"},
     false},
    {"CityFromTheCityDatabase",
     {"--main", "E115.5", "--offset", "E125", "--city", "北京市/北京"},
     {"左方：15cm", "下方：3cm", "极化角：10.1"},
     false},
    {"NeighboursTooCloseForPrimeFocus",
     with({"--main", "E115.5", "--offset", "E116"}, kBeijingTyped),
     {"左方：1cm", "下方：0cm", "极化角：-0.5"},
     true},
    {"NeighboursTooCloseForOffsetDish",
     with({"--main", "E122", "--offset", "E124", "--feed", "offset"}, kBeijingTyped),
     {"左方：2cm", "上方：0cm", "极化角：8.9"},
     true},
};

class CliSpacingText : public ::testing::TestWithParam<SpacingTextCase> {};

TEST_P(CliSpacingText, Lines) {
    const SpacingTextCase& c = GetParam();
    const Outcome run = runSpacing(c.args);
    const std::string call = "spacing " + joined(c.args) + "\n" + described(run);
    ASSERT_EQ(run.status, 0) << call;
    EXPECT_EQ(run.err, "") << call;
    EXPECT_EQ(run.out.find('\r'), std::string::npos) << call;
    ASSERT_FALSE(run.out.empty()) << call;
    EXPECT_EQ(run.out.back(), '\n') << call;
    std::vector<std::string> expected = c.lines;
    if (c.warning) {
        const std::vector<std::string> warning = warningLines();
        expected.insert(expected.end(), warning.begin(), warning.end());
    }
    EXPECT_EQ(linesOf(run.out), expected) << call;
}

INSTANTIATE_TEST_SUITE_P(Cases, CliSpacingText, ::testing::ValuesIn(kSpacingTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// spacing: JSON output.

struct SpacingJsonCase {
    const char* name;
    std::vector<std::string> args; // --json is added
    const char* horizontalCaption;
    const char* horizontalValue;
    const char* verticalCaption;
    const char* verticalValue;
    const char* polarisation;
    const char* warning;
};

void PrintTo(const SpacingJsonCase& c, std::ostream* os) {
    *os << c.name << ": spacing " << joined(c.args) << " --json";
}

const SpacingJsonCase kSpacingJsonCases[] = {
    {"PrimeFocus", with({"--main", "E115.5", "--offset", "E125"}, kBeijingTyped), "左方：", "15",
     "下方：", "3", "10.1", "false"},
    {"OffsetDish",
     with({"--main", "E115.5", "--offset", "E125", "--feed", "offset", "--model", "中卫[60cm]"},
          kBeijingTyped),
     "左方：", "9", "上方：", "2", "10.1", "false"},
    {"PolarisationAtBeijingCity",
     {"--main", "E115.5", "--offset", "E125", "--city", "北京市/北京"},
     "左方：",
     "15",
     "下方：",
     "3",
     "10.1",
     "false"},
    {"TooClose", with({"--main", "E115.5", "--offset", "E116"}, kBeijingTyped), "左方：", "1",
     "下方：", "0", "-0.5", "true"},
};

class CliSpacingJson : public ::testing::TestWithParam<SpacingJsonCase> {};

TEST_P(CliSpacingJson, EveryKeyWithItsType) {
    const SpacingJsonCase& c = GetParam();
    const std::vector<std::string> args = with(c.args, {"--json"});
    const Outcome run = runSpacing(args);
    const std::string call = "spacing " + joined(args) + "\n" + described(run);
    ASSERT_EQ(run.status, 0) << call;
    EXPECT_EQ(run.err, "") << call;
    const std::optional<JsonMembers> json = jsonOf(run);
    ASSERT_TRUE(json) << call;
    const struct {
        const char* key;
        JsonValue::Kind kind;
        const char* expected;
    } fields[] = {
        {"horizontalCaption", JsonValue::Kind::String, c.horizontalCaption},
        {"horizontalValue", JsonValue::Kind::Number, c.horizontalValue},
        {"verticalCaption", JsonValue::Kind::String, c.verticalCaption},
        {"verticalValue", JsonValue::Kind::Number, c.verticalValue},
        {"polarisation", JsonValue::Kind::String, c.polarisation},
        {"warning", JsonValue::Kind::Literal, c.warning},
    };
    for (const auto& f : fields) {
        const auto found = json->find(f.key);
        ASSERT_NE(found, json->end()) << "key " << f.key << " missing\n" << call;
        EXPECT_EQ(found->second.kind, f.kind) << "key " << f.key << "\n" << call;
        EXPECT_EQ(found->second.text, f.expected) << "key " << f.key << "\n" << call;
    }
    EXPECT_EQ(json->size(), std::size(fields)) << call;
}

INSTANTIATE_TEST_SUITE_P(Cases, CliSpacingJson, ::testing::ValuesIn(kSpacingJsonCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// spacing: refusals, exit 2 with nothing on stdout.

struct SpacingErrorCase {
    const char* name;
    std::vector<std::string> args;
    std::string stderrPart;
    bool oneLine = true; // the same-satellite message keeps its own line break
};

void PrintTo(const SpacingErrorCase& c, std::ostream* os) {
    *os << c.name << ": spacing " << joined(c.args);
}

const SpacingErrorCase kSpacingErrorCases[] = {
    {"SameSatellite", with({"--main", "E125", "--offset", "E125"}, kBeijingTyped),
     std::string(zorvast::pointing::kSameSatelliteText) + "\n", false},
    {"SameSatelliteAsJson",
     with({"--main", "E115.5", "--offset", "E115.5", "--json"}, kBeijingTyped),
     std::string(zorvast::pointing::kSameSatelliteText) + "\n", false},
    {"UnknownMainSatellite", with({"--main", "E999", "--offset", "E125"}, kBeijingTyped),
     "unknown satellite: E999"},
    {"UnknownOffsetSatellite", with({"--main", "E115.5", "--offset", "E998"}, kBeijingTyped),
     "unknown satellite: E998"},
    {"MainCodeWithName", with({"--main", "E115.5(中星6B)", "--offset", "E125"}, kBeijingTyped),
     "unknown satellite"},
    {"UnknownModel",
     with({"--main", "E115.5", "--offset", "E125", "--model", "无名[1cm]"}, kBeijingTyped),
     "unknown antenna model"},
    {"OffsetModelWithPrimeFeed",
     with({"--main", "E115.5", "--offset", "E125", "--model", "中卫[60cm]"}, kBeijingTyped),
     "unknown antenna model"},
    {"UnknownCity",
     {"--main", "E115.5", "--offset", "E125", "--city", "北京市/不存在"},
     "unknown city"},
    {"NoMainSatellite", with({"--offset", "E125"}, kBeijingTyped), "--main"},
    {"NoOffsetSatellite", with({"--main", "E115.5"}, kBeijingTyped), "--offset"},
    {"NoPlace", {"--main", "E115.5", "--offset", "E125"}, "no place"},
    {"LongitudeWithoutLatitude",
     {"--main", "E115.5", "--offset", "E125", "--lon", "116"},
     "--lon and --lat"},
    {"BadFeed", with({"--main", "E115.5", "--offset", "E125", "--feed", "side"}, kBeijingTyped),
     "--feed"},
    {"PointOnlyOption",
     with({"--main", "E115.5", "--offset", "E125", "--sat", "E125"}, kBeijingTyped),
     "unknown option"},
    {"OptionTwice",
     with({"--main", "E115.5", "--offset", "E125", "--main", "E110.5"}, kBeijingTyped), "twice"},
    {"OptionWithoutValue", with(kBeijingTyped, {"--main", "E115.5", "--offset"}), "needs a value"},
    {"MissingPackage",
     with({"--main", "E115.5", "--offset", "E125", "--package", "/nonexistent/satdata.sta"},
          kBeijingTyped),
     "data package not found"},
};

class CliSpacingError : public ::testing::TestWithParam<SpacingErrorCase> {};

TEST_P(CliSpacingError, ExitsTwoWithReason) {
    const SpacingErrorCase& c = GetParam();
    const Outcome run = runSpacing(c.args);
    const std::string call = "spacing " + joined(c.args) + "\n" + described(run);
    expectRefused(call, run, c.stderrPart, c.oneLine);
    if (!c.oneLine) {
        EXPECT_EQ(run.err, c.stderrPart) << call;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CliSpacingError, ::testing::ValuesIn(kSpacingErrorCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CliSpacingTemporaryFiles, NothingIsLeftBehind) {
    const std::vector<std::vector<std::string>> calls = {
        {"--main", "E115.5", "--offset", "E125", "--city", "北京市/北京"},
        {"--main", "E115.5", "--offset", "E125", "--city", "北京市/北京", "--json"},
        {"--main", "E125", "--offset", "E125", "--city", "北京市/北京"},
        {"--main", "E999", "--offset", "E125", "--city", "北京市/北京"},
        {"--main", "E115.5", "--offset", "E125", "--city", "北京市/不存在"},
    };
    for (const std::vector<std::string>& args : calls) {
        TempFolder tmpdir;
        const Outcome run = runSpacing(args, {kCli, tmpdir.path().string(), ""});
        EXPECT_NE(run.status, -1) << described(run);
        std::vector<std::string> left;
        for (const fs::directory_entry& entry : fs::directory_iterator(tmpdir.path())) {
            left.push_back(entry.path().filename().string());
        }
        EXPECT_TRUE(left.empty()) << "spacing " << joined(args) << " left " << joined(left);
    }
}

// ---------------------------------------------------------------------------------------------
// obstacle.

const std::string kDistanceMessage =
    "障碍距离输入错误，请重新输入！\r\n（提示：必须是大于0，而且不能大于9000的数字）";
const std::string kObstacleHeightMessage =
    "障碍高度输入错误，请重新输入！\r\n（提示：必须是大于0，而且不能大于9000的数字）";
const std::string kAntennaHeightMessage =
    "天线的高度输入错误，请重新输入！\r\n（提示：必须是大于或等于0，而且不能大于9000的数字）";
const std::string kAntennaAboveMessage = "软件对输入的数据有些疑惑，也请您检查输入是否错误！\r\n"
                                         "（提示：您的天线比障碍还高有必要计算吗？）";

struct ObstacleCase {
    const char* name;
    std::vector<std::string> args;
    std::string expected; // the minimum elevation, or the whole of stderr when refused
    bool refused = false;
};

void PrintTo(const ObstacleCase& c, std::ostream* os) {
    *os << c.name << ": obstacle " << joined(c.args);
}

const ObstacleCase kObstacleCases[] = {
    {"InitialBoxes", {"--distance", "40", "--height", "20", "--antenna", "0"}, "26.6"},
    {"HighestAccepted", {"--distance", "9000", "--height", "9000", "--antenna", "0"}, "45"},
    {"DishLevelWithTheObstacle", {"--distance", "20", "--height", "20", "--antenna", "20"}, "0"},
    {"EmptyAntennaBox", {"--distance", "40", "--height", "20", "--antenna", ""}, "26.6"},
    {"AntennaLeftOut", {"--distance", "40", "--height", "20"}, "26.6"},
    {"RaisedDish", {"--antenna", "5", "--height", "20", "--distance", "40"}, "20.6"},
    {"DistanceBelowOne",
     {"--distance", "0.5", "--height", "20", "--antenna", "0"},
     kDistanceMessage + "\n",
     true},
    {"DistanceLeftOut", {"--height", "20", "--antenna", "0"}, kDistanceMessage + "\n", true},
    {"ObstacleTooHigh",
     {"--distance", "40", "--height", "9001", "--antenna", "0"},
     kObstacleHeightMessage + "\n",
     true},
    {"NegativeAntenna",
     {"--distance", "40", "--height", "20", "--antenna", "-1"},
     kAntennaHeightMessage + "\n",
     true},
    {"DishAboveTheObstacle",
     {"--distance", "40", "--height", "20", "--antenna", "21"},
     kAntennaAboveMessage + "\n",
     true},
};

class CliObstacle : public ::testing::TestWithParam<ObstacleCase> {};

TEST_P(CliObstacle, TextAndJson) {
    const ObstacleCase& c = GetParam();
    const Outcome run = runObstacle(c.args);
    const std::string call = "obstacle " + joined(c.args) + "\n" + described(run);
    const Outcome jsonRun = runObstacle(with(c.args, {"--json"}));
    const std::string jsonCall = "obstacle " + joined(c.args) + " --json\n" + described(jsonRun);
    if (c.refused) {
        EXPECT_EQ(run.status, 2) << call;
        EXPECT_EQ(run.out, "") << call;
        EXPECT_EQ(run.err, c.expected) << call;
        EXPECT_EQ(jsonRun.status, 2) << jsonCall;
        EXPECT_EQ(jsonRun.out, "") << jsonCall;
        EXPECT_EQ(jsonRun.err, c.expected) << jsonCall;
        return;
    }
    EXPECT_EQ(run.status, 0) << call;
    EXPECT_EQ(run.err, "") << call;
    EXPECT_EQ(run.out, c.expected + "\n") << call;

    ASSERT_EQ(jsonRun.status, 0) << jsonCall;
    EXPECT_EQ(jsonRun.err, "") << jsonCall;
    const std::optional<JsonMembers> json = jsonOf(jsonRun);
    ASSERT_TRUE(json) << jsonCall;
    ASSERT_EQ(json->size(), 1u) << jsonCall;
    const auto found = json->find("minimumElevation");
    ASSERT_NE(found, json->end()) << jsonCall;
    EXPECT_EQ(found->second.kind, JsonValue::Kind::String) << jsonCall;
    EXPECT_EQ(found->second.text, c.expected) << jsonCall;
}

INSTANTIATE_TEST_SUITE_P(Cases, CliObstacle, ::testing::ValuesIn(kObstacleCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CliObstacleOptions, BadOptionsAreRefused) {
    const struct {
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {{"--distance", "40", "--height", "20", "--colour", "red"}, "unknown option"},
        {{"--distance", "40", "--distance", "30", "--height", "20"}, "twice"},
        {{"--height", "20", "--distance"}, "needs a value"},
    };
    for (const auto& c : cases) {
        const Outcome run = runObstacle(c.args);
        const std::string call = "obstacle " + joined(c.args) + "\n" + described(run);
        EXPECT_EQ(run.status, 2) << call;
        EXPECT_EQ(run.out, "") << call;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << call << "\nexpected: " << c.reason;
        EXPECT_EQ(linesOf(run.err).size(), 1u) << call;
    }
}

TEST(CliCalculatorsUsage, NamesBothCommands) {
    const Outcome usage = runProgram({"help"});
    EXPECT_EQ(usage.status, 2) << described(usage);
    EXPECT_NE(usage.err.find("zorvast-cli spacing --main CODE --offset CODE"), std::string::npos)
        << described(usage);
    EXPECT_NE(usage.err.find("zorvast-cli obstacle --distance D --height H --antenna A"),
              std::string::npos)
        << described(usage);
}

} // namespace
