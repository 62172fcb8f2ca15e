#include "common/Numbers.h"
#include "pointing/antennas/AntennaCatalogue.h"
#include "pointing/calculators/FeedSpacing.h"
#include "pointing/calculators/Obstacle.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace zorvast::pointing {

// Readable failures: every field of a spacing.
void PrintTo(const FeedSpacing& s, std::ostream* os) {
    *os << "{" << s.horizontalCaption << s.horizontal << "cm, " << s.verticalCaption << s.vertical
        << "cm, tooClose " << (s.tooClose ? "true" : "false") << "}";
}

namespace {

const char* feedName(FeedType feed) {
    return feed == FeedType::PrimeFocus ? "prime focus" : "offset";
}

// ---------------------------------------------------------------------------------------------
// feedSpacingFor

struct SpacingCase {
    const char* name;
    double delta;
    FeedType feed;
    float diameter;
    FeedSpacing expected;
};

void PrintTo(const SpacingCase& c, std::ostream* os) {
    *os << c.name << ": delta " << c.delta << ", " << feedName(c.feed) << ", " << c.diameter
        << " cm";
}

constexpr FeedType kPrime = FeedType::PrimeFocus;
constexpr FeedType kOffset = FeedType::Offset;

const SpacingCase kSpacingCases[] = {
    // Second satellite east of the main one (delta < 0).
    {"PrimeEastOfMain", -9.5, kPrime, 150, {"左方：", 15, "下方：", 3, false}},
    {"OffsetEastOfMain", -9.5, kOffset, 60, {"左方：", 9, "上方：", 2, false}},
    // Second satellite west of the main one (delta > 0).
    {"PrimeWestOfMain", 9.5, kPrime, 150, {"右方：", 15, "上方：", 3, false}},
    {"OffsetWestOfMain", 9.5, kOffset, 60, {"右方：", 9, "下方：", 2, false}},
    // 6.4 rounds to 6: not below the prime-focus limit.
    {"PrimeAtTheLimit", 5, kPrime, 120, {"右方：", 6, "上方：", 1, false}},
    {"PrimeAtTheLimitEast", -5, kPrime, 120, {"左方：", 6, "下方：", 1, false}},
    {"PrimeBelowTheLimit", -3.4, kPrime, 150, {"左方：", 5, "下方：", 1, true}},
    // 3.6 rounds to 4: not below the offset limit; 2.88 rounds to 3, which is.
    {"OffsetAtTheLimit", 5, kOffset, 45, {"右方：", 4, "下方：", 1, false}},
    {"OffsetAtTheLimitEast", -5, kOffset, 45, {"左方：", 4, "上方：", 1, false}},
    {"OffsetBelowTheLimit", 4, kOffset, 45, {"右方：", 3, "下方：", 1, true}},
    {"OffsetBelowTheLimitEast", -4, kOffset, 45, {"左方：", 3, "上方：", 1, true}},
    // The same position: no sideways gap at all.
    {"PrimeZeroDelta", 0, kPrime, 150, {"右方：", 0, "上方：", 0, true}},
    {"OffsetZeroDelta", 0, kOffset, 60, {"右方：", 0, "下方：", 0, true}},
    // A delta within the comparison tolerance of zero counts as zero.
    {"PrimeTinyNegativeDelta", -5e-8, kPrime, 150, {"右方：", 0, "上方：", 0, true}},
    {"OffsetTinyNegativeDelta", -5e-8, kOffset, 60, {"右方：", 0, "下方：", 0, true}},
    // 15.5 rounds away from zero before the sign is dropped.
    {"HalfRoundsAwayFromZero", -9.6875, kPrime, 150, {"左方：", 16, "下方：", 3, false}},
    // A bigger dish spreads the feeds further apart.
    {"LargeDish", -3, kPrime, 300, {"左方：", 10, "下方：", 2, false}},
};

class FeedSpacingForTest : public ::testing::TestWithParam<SpacingCase> {};

TEST_P(FeedSpacingForTest, CaptionsValuesAndWarning) {
    const SpacingCase& c = GetParam();
    EXPECT_EQ(feedSpacingFor(c.delta, c.feed, c.diameter), c.expected)
        << "delta " << c.delta << ", " << feedName(c.feed) << ", " << c.diameter << " cm";
}

INSTANTIATE_TEST_SUITE_P(Cases, FeedSpacingForTest, ::testing::ValuesIn(kSpacingCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// secondFeedPolarisation

TEST(SecondFeedPolarisation, SkewOfTheSecondSatellite) {
    const struct {
        double longitude, latitude, satellite, expected;
    } cases[] = {
        {116.46, 39.92, 125, 10.1}, {116.46, 39.92, 115.5, -1.1}, {116.46, 39.92, 116, -0.5},
        {116.46, 39.92, 124, 8.9},  {116.46, 39.92, 116.46, 0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(secondFeedPolarisation(c.longitude, c.latitude, c.satellite), c.expected)
            << "site " << c.longitude << " E " << c.latitude << " N, satellite " << c.satellite;
    }
}

// ---------------------------------------------------------------------------------------------
// estimateFeedSpacing, with the texts the window passes: the pointing list item, the offset
// list item, the model list item and the two coordinate boxes.

struct SpacingTexts {
    std::string mainSatelliteText;   // "E115.5(name)"
    std::string offsetSatelliteText; // "E125"
    FeedType feed = FeedType::PrimeFocus;
    std::string modelText; // "中卫[150cm]"
    std::string longitudeText;
    std::string latitudeText;
};

struct SpacingShown {
    std::optional<FeedSpacing> spacing; // nothing after the same-satellite refusal
    std::string polarisationText;
};

// What the button does with the texts the window passes.
SpacingShown estimateFromTexts(const SpacingTexts& in) {
    if (samePosition(in.mainSatelliteText, in.offsetSatelliteText)) {
        return {};
    }
    const std::vector<AntennaModel>& models = antennaCatalogueFor(in.feed);
    const FeedSpacingResult result =
        estimateFeedSpacing({.main = readPositionCode(positionCodeOf(in.mainSatelliteText)),
                             .offset = readPositionCode(in.offsetSatelliteText),
                             .feed = in.feed,
                             .diameterCm = static_cast<double>(antennaDiameterAt(
                                 models, antennaIndexOf(models, in.modelText).value_or(-1))),
                             .site = readSite(in.longitudeText, in.latitudeText)});
    return {result.spacing, common::formatDouble(result.polarisation)};
}

struct EstimateCase {
    const char* name;
    SpacingTexts inputs;
    std::optional<FeedSpacing> expected;
    const char* polarisation;
};

void PrintTo(const EstimateCase& c, std::ostream* os) {
    const SpacingTexts& in = c.inputs;
    *os << c.name << ": main \"" << in.mainSatelliteText << "\", offset \""
        << in.offsetSatelliteText << "\", " << feedName(in.feed) << " \"" << in.modelText
        << "\", site \"" << in.longitudeText << "\" \"" << in.latitudeText << "\"";
}

const EstimateCase kEstimateCases[] = {
    {"PrimeFocus150",
     {"E115.5(中星6B)", "E125", kPrime, "中卫[150cm]", "116.46", "39.92"},
     FeedSpacing{"左方：", 15, "下方：", 3, false},
     "10.1"},
    {"Offset60",
     {"E115.5(中星6B)", "E125", kOffset, "中卫[60cm]", "116.46", "39.92"},
     FeedSpacing{"左方：", 9, "上方：", 2, false},
     "10.1"},
    {"Prime120AtTheLimit",
     {"E130(x)", "E125", kPrime, "斯威克[120cm]", "116.46", "39.92"},
     FeedSpacing{"右方：", 6, "上方：", 1, false},
     "10.1"},
    {"Offset45TooClose",
     {"E129(x)", "E125", kOffset, "中卫[45cm]", "116.46", "39.92"},
     FeedSpacing{"右方：", 3, "下方：", 1, true},
     "10.1"},
    // Coordinate boxes are read up to the first character that is not part of a number.
    {"BoxesReadAsLeadingNumbers",
     {"E115.5(中星6B)", "E125", kPrime, "中卫[150cm]", "116.46 E", "39.92abc"},
     FeedSpacing{"左方：", 15, "下方：", 3, false},
     "10.1"},
    // Different texts for one position: a spacing of zero, not the same-satellite refusal.
    {"SamePositionWrittenDifferently",
     {"E125(中星6D)", "E125.0", kPrime, "中卫[150cm]", "116.46", "39.92"},
     FeedSpacing{"右方：", 0, "上方：", 0, true},
     "10.1"},
    {"SameSatellite",
     {"E125(中星6D)", "E125", kPrime, "中卫[150cm]", "116.46", "39.92"},
     std::nullopt,
     ""},
    {"SameSatelliteOffsetDish",
     {"E115.5(中星6B)", "E115.5", kOffset, "中卫[60cm]", "116.46", "39.92"},
     std::nullopt,
     ""},
    // Only the text after the hemisphere letter is compared.
    {"HemisphereLetterIgnored",
     {"W125(x)", "E125", kPrime, "中卫[150cm]", "116.46", "39.92"},
     std::nullopt,
     ""},
};

class EstimateFeedSpacingTest : public ::testing::TestWithParam<EstimateCase> {};

TEST_P(EstimateFeedSpacingTest, FromTheWindowTexts) {
    const EstimateCase& c = GetParam();
    const SpacingShown result = estimateFromTexts(c.inputs);
    EXPECT_EQ(result.spacing, c.expected);
    EXPECT_EQ(result.polarisationText, c.polarisation);
}

INSTANTIATE_TEST_SUITE_P(Cases, EstimateFeedSpacingTest, ::testing::ValuesIn(kEstimateCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// computeObstacleClearance

const std::string kDistanceMessage =
    "障碍距离输入错误，请重新输入！\r\n（提示：必须是大于0，而且不能大于9000的数字）";
const std::string kObstacleHeightMessage =
    "障碍高度输入错误，请重新输入！\r\n（提示：必须是大于0，而且不能大于9000的数字）";
const std::string kAntennaHeightMessage =
    "天线的高度输入错误，请重新输入！\r\n（提示：必须是大于或等于0，而且不能大于9000的数字）";
const std::string kAntennaAboveMessage = "软件对输入的数据有些疑惑，也请您检查输入是否错误！\r\n"
                                         "（提示：您的天线比障碍还高有必要计算吗？）";

using Box = ObstacleOutcome::Box;

const char* boxName(Box box) {
    switch (box) {
    case Box::None:
        return "none";
    case Box::Distance:
        return "distance";
    case Box::ObstacleHeight:
        return "obstacle height";
    case Box::AntennaHeight:
        return "antenna height";
    }
    return "?";
}

struct ObstacleTexts {
    std::string distanceText;
    std::string obstacleHeightText;
    std::string antennaHeightText;
};

struct ObstacleCase {
    const char* name;
    ObstacleTexts inputs;
    std::string message;
    Box box;
    const char* corrected;
    const char* result;
    bool zeroed;
};

void PrintTo(const ObstacleCase& c, std::ostream* os) {
    *os << c.name << ": distance \"" << c.inputs.distanceText << "\", height \""
        << c.inputs.obstacleHeightText << "\", antenna \"" << c.inputs.antennaHeightText << "\"";
}

const ObstacleCase kObstacleCases[] = {
    // Accepted.
    {"InitialBoxes", {"40", "20", "0"}, "", Box::None, "", "26.6", true},
    {"EmptyAntennaBox", {"40", "20", ""}, "", Box::None, "", "26.6", true},
    {"AntennaZeroWithinTolerance", {"40", "20", "-0.00000005"}, "", Box::None, "", "26.6", true},
    {"RaisedDish", {"40", "20", "5"}, "", Box::None, "", "20.6", false},
    {"HighestValues", {"9000", "9000", "0"}, "", Box::None, "", "45", true},
    {"DishLevelWithTheObstacle", {"20", "20", "20"}, "", Box::None, "", "0", false},
    {"DishAtTheTopLimit", {"40", "9000", "9000"}, "", Box::None, "", "0", false},
    {"DishJustAboveWithinTolerance", {"40", "20", "20.00000005"}, "", Box::None, "", "0", false},
    {"ShortestDistance", {"1", "20", "0"}, "", Box::None, "", "87.1", true},
    {"DistanceJustBelowOneWithinTolerance",
     {"0.99999995", "20", "0"},
     "",
     Box::None,
     "",
     "87.1",
     true},
    {"DistanceJustAbove9000WithinTolerance",
     {"9000.00000005", "9000", "0"},
     "",
     Box::None,
     "",
     "45",
     true},
    {"LowestObstacle", {"40", "1", "0"}, "", Box::None, "", "1.4", true},
    {"ObstacleJustBelowOneWithinTolerance",
     {"40", "0.99999995", "0"},
     "",
     Box::None,
     "",
     "1.4",
     true},
    {"TrailingTextIgnored", {"40m", "20 m", "0 m"}, "", Box::None, "", "26.6", true},
    // Distance refused: the box becomes "1".
    {"DistanceBelowOne", {"0.5", "20", "0"}, kDistanceMessage, Box::Distance, "1", "", false},
    {"DistanceJustBelowOne",
     {"0.9999998", "20", "0"},
     kDistanceMessage,
     Box::Distance,
     "1",
     "",
     false},
    {"DistanceAbove9000",
     {"9000.0000002", "20", "0"},
     kDistanceMessage,
     Box::Distance,
     "1",
     "",
     false},
    {"DistanceEmpty", {"", "20", "0"}, kDistanceMessage, Box::Distance, "1", "", false},
    {"DistanceNotANumber", {"abc", "20", "0"}, kDistanceMessage, Box::Distance, "1", "", false},
    {"DistanceCheckedFirst", {"0", "0", "-1"}, kDistanceMessage, Box::Distance, "1", "", false},
    // Obstacle height refused: the box becomes "1".
    {"ObstacleBelowOne",
     {"40", "0.5", "0"},
     kObstacleHeightMessage,
     Box::ObstacleHeight,
     "1",
     "",
     false},
    {"ObstacleJustBelowOne",
     {"40", "0.9999998", "0"},
     kObstacleHeightMessage,
     Box::ObstacleHeight,
     "1",
     "",
     false},
    {"ObstacleAbove9000",
     {"40", "9000.0000002", "0"},
     kObstacleHeightMessage,
     Box::ObstacleHeight,
     "1",
     "",
     false},
    {"ObstacleCheckedBeforeAntenna",
     {"40", "", "-1"},
     kObstacleHeightMessage,
     Box::ObstacleHeight,
     "1",
     "",
     false},
    // Antenna height refused: the box becomes "0".
    {"AntennaNegative",
     {"40", "20", "-1"},
     kAntennaHeightMessage,
     Box::AntennaHeight,
     "0",
     "",
     false},
    {"AntennaJustBelowZero",
     {"40", "20", "-0.0000002"},
     kAntennaHeightMessage,
     Box::AntennaHeight,
     "0",
     "",
     false},
    {"AntennaAbove9000",
     {"40", "9000", "9000.0000002"},
     kAntennaHeightMessage,
     Box::AntennaHeight,
     "0",
     "",
     false},
    // The dish above the obstacle: the antenna box and the result both become "0".
    {"DishAboveTheObstacle",
     {"40", "20", "21"},
     kAntennaAboveMessage,
     Box::AntennaHeight,
     "0",
     "0",
     false},
    {"DishJustAboveTheObstacle",
     {"40", "20", "20.0000002"},
     kAntennaAboveMessage,
     Box::AntennaHeight,
     "0",
     "0",
     false},
};

class ObstacleClearanceTest : public ::testing::TestWithParam<ObstacleCase> {};

TEST_P(ObstacleClearanceTest, Outcome) {
    const ObstacleCase& c = GetParam();
    const ObstacleOutcome out = computeObstacleClearance(readObstacleInputs(
        c.inputs.distanceText, c.inputs.obstacleHeightText, c.inputs.antennaHeightText));
    EXPECT_EQ(out.message, c.message);
    EXPECT_EQ(out.correctedBox, c.box)
        << "corrected box " << boxName(out.correctedBox) << ", expected " << boxName(c.box);
    // The window writes the corrected box and the result label as texts.
    EXPECT_EQ(out.correctedBox == Box::None ? "" : common::formatDouble(out.correctedValue),
              c.corrected);
    EXPECT_EQ(out.result ? common::formatDouble(*out.result) : "", c.result);
    EXPECT_EQ(out.antennaBoxZeroed, c.zeroed);
}

INSTANTIATE_TEST_SUITE_P(Cases, ObstacleClearanceTest, ::testing::ValuesIn(kObstacleCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MinimumElevation, Degrees) {
    const struct {
        double distance, obstacle, antenna, expected;
    } cases[] = {
        {40, 20, 0, 26.6}, {9000, 9000, 0, 45}, {20, 20, 20, 0},
        {40, 20, 5, 20.6}, {1, 20, 0, 87.1},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(minimumElevation(c.distance, c.obstacle, c.antenna), c.expected)
            << "distance " << c.distance << ", obstacle " << c.obstacle << ", antenna "
            << c.antenna;
    }
}

} // namespace
} // namespace zorvast::pointing
