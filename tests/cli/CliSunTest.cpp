// `zorvast-cli sun-outage` and `zorvast-cli sun-azimuth` driven through the built program.
#include "cli/CliRunner.h"
#include "common/Numbers.h"
#include "pointing/geometry/PointingGeometry.h"
#include "pointing/sun/SunAzimuth.h"
#include "pointing/sun/SunDates.h"
#include "pointing/sun/SunOutage.h"
#include "pointing/sun/SunPosition.h"

#include <gtest/gtest.h>

#include <ctime>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace zorvast::testing::cli;
namespace sun = zorvast::pointing::sun;

Outcome runOutage(const std::vector<std::string>& args) {
    return runWithPackage("sun-outage", args);
}

Outcome runAzimuth(const std::vector<std::string>& args) {
    return runWithPackage("sun-azimuth", args);
}

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

const std::vector<std::string> kBeijing = {"--lon", "116.46", "--lat", "39.92"};

std::string jsonNumberText(double value, int decimals) {
    return zorvast::common::formatDouble(zorvast::common::decimalRound(value, decimals));
}

// The "days" array the command must print for a forecast.
std::string daysJson(const std::vector<sun::OutageDay>& days) {
    std::string out = "\"days\":[";
    for (std::size_t i = 0; i < days.size(); ++i) {
        out += (i ? "," : "") + std::string("{\"date\":\"") + sun::dateText(days[i].date) +
               "\",\"start\":\"" + sun::minuteText(days[i].startMinute) + "\",\"peak\":\"" +
               sun::minuteText(days[i].peakMinute) + "\",\"end\":\"" +
               sun::minuteText(days[i].endMinute) + "\"}";
    }
    return out + "]";
}

std::string withLf(const std::string& crLf) {
    return withoutCr(crLf);
}

// ---------------------------------------------------------------------------------------------
// sun-outage

TEST(CliSunOutage, TextIsTheTable) {
    const Outcome run = runOutage(with(kBeijing, {"--sat-lon", "115.5", "--year", "2025"}));
    ASSERT_EQ(run.status, 0) << described(run);
    const double angle = sun::outageAngle(sun::beamwidth(1.5, sun::Band::C));
    const std::vector<sun::OutageDay> days = sun::outageForecast(116.46, 39.92, 115.5, angle, 2025);
    ASSERT_GT(days.size(), 15u);
    EXPECT_EQ(run.out, withLf(sun::outageTableText(days)));
    EXPECT_EQ(linesOf(run.out).front(), "日期\t开始\t最强\t结束\t时长");
    EXPECT_EQ(run.err, "");
}

TEST(CliSunOutage, JsonFields) {
    const Outcome run =
        runOutage(with(kBeijing, {"--sat-lon", "115.5", "--year", "2025", "--json"}));
    ASSERT_EQ(run.status, 0) << described(run);
    const auto json = jsonOf(run);
    ASSERT_TRUE(json);
    const double beam = sun::beamwidth(1.5, sun::Band::C);
    EXPECT_EQ(json->at("beamwidth").text, jsonNumberText(beam, 4));
    EXPECT_EQ(json->at("beamwidth").text, "3.4976");
    EXPECT_EQ(json->at("outageAngle").text, "1.9988");
    EXPECT_EQ(json->at("year").text, "2025");
    EXPECT_EQ(json->at("days").kind, JsonValue::Kind::Nested);
    const std::vector<sun::OutageDay> days =
        sun::outageForecast(116.46, 39.92, 115.5, sun::outageAngle(beam), 2025);
    EXPECT_NE(run.out.find(daysJson(days)), std::string::npos) << run.out;
    // Date order, Beijing time: ChinaSat 6B's spring days begin on 28 February at 12:27.
    EXPECT_NE(run.out.find("\"days\":[{\"date\":\"2025-02-28\",\"start\":\"12:27\""),
              std::string::npos)
        << run.out;
}

TEST(CliSunOutage, SatelliteCodeAndCityFromTheProgramsData) {
    const Outcome typed = runOutage(with(kBeijing, {"--sat-lon", "115.5", "--year", "2025"}));
    const Outcome coded = runOutage(with(kBeijing, {"--sat", "E115.5", "--year", "2025"}));
    ASSERT_EQ(coded.status, 0) << described(coded);
    EXPECT_EQ(coded.out, typed.out);
    const Outcome city =
        runOutage({"--city", "北京市/北京", "--sat", "E115.5", "--year", "2025", "--json"});
    ASSERT_EQ(city.status, 0) << described(city);
    EXPECT_NE(city.out.find("\"date\":\"2025-03-04\""), std::string::npos) << city.out;
}

struct DishCase {
    const char* name;
    std::vector<std::string> args;
    const char* beamwidth;
};

void PrintTo(const DishCase& c, std::ostream* os) {
    *os << c.name << ": " << joined(c.args);
}

const DishCase kDishCases[] = {
    {"DefaultPrimeFocus150C", {}, "3.4976"},
    {"BandKuTakesTheOffset60", {"--band", "Ku"}, "2.9146"},
    {"BandCTakesThePrimeFocus150", {"--band", "C"}, "3.4976"},
    {"PrimeFocusModelIsC", {"--model", "中卫[150cm]"}, "3.4976"},
    {"OffsetModelIsKu", {"--model", "中卫[60cm]"}, "2.9146"},
    {"ModelWithOtherBand", {"--model", "中卫[60cm]", "--band", "C"}, "8.7439"},
    {"DiameterIsC", {"--diameter", "240"}, "2.186"},
    {"DiameterWithKu", {"--diameter", "120", "--band", "ku"}, "1.4573"},
    {"FractionalDiameter", {"--diameter", "45.5", "--band", "Ku"}, "3.8435"},
};

class CliSunOutageDish : public ::testing::TestWithParam<DishCase> {};

TEST_P(CliSunOutageDish, Beamwidth) {
    const DishCase& c = GetParam();
    const Outcome run =
        runOutage(with(with(kBeijing, {"--sat-lon", "115.5", "--year", "2025", "--json"}), c.args));
    ASSERT_EQ(run.status, 0) << described(run);
    const auto json = jsonOf(run);
    ASSERT_TRUE(json);
    EXPECT_EQ(json->at("beamwidth").text, c.beamwidth);
}

INSTANTIATE_TEST_SUITE_P(Cases, CliSunOutageDish, ::testing::ValuesIn(kDishCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CliSunOutage, DefaultYearIsTheNextSeason) {
    const sun::LocalDate today = sun::beijingDateOf(static_cast<double>(std::time(nullptr)));
    const Outcome run = runOutage(with(kBeijing, {"--sat-lon", "115.5", "--json"}));
    ASSERT_EQ(run.status, 0) << described(run);
    const auto json = jsonOf(run);
    ASSERT_TRUE(json);
    const double angle = sun::outageAngle(sun::beamwidth(1.5, sun::Band::C));
    const int expected = sun::nextSeasonYear(116.46, 39.92, 115.5, angle, today);
    EXPECT_EQ(json->at("year").text, std::to_string(expected));
    EXPECT_TRUE(expected == today.year || expected == today.year + 1);
}

// ---------------------------------------------------------------------------------------------
// sun-azimuth

TEST(CliSunAzimuth, JsonForASatellite) {
    const Outcome run =
        runAzimuth(with(kBeijing, {"--sat", "E115.5", "--date", "2025-06-01", "--json"}));
    ASSERT_EQ(run.status, 0) << described(run);
    const auto json = jsonOf(run);
    ASSERT_TRUE(json);
    const double azimuth = sun::satelliteDirection(116.46, 39.92, 115.5).azimuth;
    EXPECT_EQ(json->at("azimuth").text, jsonNumberText(azimuth, 2));
    EXPECT_EQ(json->at("date").text, "2025-06-01");
    const std::vector<sun::Crossing> c = sun::sunAtAzimuth(116.46, 39.92, azimuth, {2025, 6, 1});
    ASSERT_EQ(c.size(), 1u);
    EXPECT_NE(run.out.find("\"times\":[{\"time\":\"" + sun::minuteText(c[0].minute) +
                           "\",\"sunElevation\":" + jsonNumberText(c[0].sunElevation, 2) + "}]"),
              std::string::npos)
        << run.out;
}

TEST(CliSunAzimuth, TwoCrossingsAndNone) {
    const Outcome twice = runAzimuth(
        {"--lon", "109.51", "--lat", "18.25", "--azimuth", "72", "--date", "2025-06-21", "--json"});
    ASSERT_EQ(twice.status, 0) << described(twice);
    EXPECT_NE(twice.out.find("\"times\":[{\"time\":\"08:03\""), std::string::npos) << twice.out;
    EXPECT_NE(twice.out.find("},{\"time\":\"11:1"), std::string::npos) << twice.out;

    const Outcome never =
        runAzimuth(with(kBeijing, {"--azimuth", "0", "--date", "2025-06-21", "--json"}));
    ASSERT_EQ(never.status, 0) << described(never);
    EXPECT_NE(never.out.find("\"times\":[]"), std::string::npos) << never.out;
}

TEST(CliSunAzimuth, TextAndTypedSatelliteLongitude) {
    const Outcome run = runAzimuth(with(kBeijing, {"--sat-lon", "115.5", "--date", "2025-06-01"}));
    ASSERT_EQ(run.status, 0) << described(run);
    const double azimuth = sun::satelliteDirection(116.46, 39.92, 115.5).azimuth;
    EXPECT_EQ(run.out, withLf(sun::crossingTableText(
                           sun::sunAtAzimuth(116.46, 39.92, azimuth, {2025, 6, 1}))));
    const Outcome none = runAzimuth(with(kBeijing, {"--azimuth", "0", "--date", "2025-06-21"}));
    EXPECT_EQ(none.out, "时间\t太阳仰角\n（白天太阳不经过这个方位）\n");
}

TEST(CliSunAzimuth, DateDefaultsToTodayInBeijing) {
    const Outcome run = runAzimuth(with(kBeijing, {"--azimuth", "180", "--json"}));
    ASSERT_EQ(run.status, 0) << described(run);
    const auto json = jsonOf(run);
    ASSERT_TRUE(json);
    const std::string today =
        sun::dateText(sun::beijingDateOf(static_cast<double>(std::time(nullptr))));
    // Run just before midnight, the command may already be on the next day.
    const std::string later =
        sun::dateText(sun::beijingDateOf(static_cast<double>(std::time(nullptr)) + 60));
    EXPECT_TRUE(json->at("date").text == today || json->at("date").text == later)
        << json->at("date").text;
}

// ---------------------------------------------------------------------------------------------
// Refusals: exit 2, the reason on standard error, nothing on standard output.

struct ErrorCase {
    const char* name;
    const char* command;
    std::vector<std::string> args;
    std::string stderrPart;
    bool oneLine = true;
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << c.name << ": " << c.command << " " << joined(c.args);
}

using zorvast::pointing::SiteError;
using zorvast::pointing::siteErrorText;

const ErrorCase kErrorCases[] = {
    {"OutageLongitudeOutOfRange",
     "sun-outage",
     {"--lon", "160", "--lat", "40", "--sat-lon", "115.5"},
     std::string(siteErrorText(SiteError::Longitude)) + "\n",
     false},
    {"OutageLatitudeOutOfRange",
     "sun-outage",
     {"--lon", "116", "--lat", "0.5", "--sat", "E115.5"},
     std::string(siteErrorText(SiteError::Latitude)) + "\n",
     false},
    {"AzimuthSiteOutOfRange",
     "sun-azimuth",
     {"--lon", "116", "--lat", "61", "--azimuth", "180"},
     std::string(siteErrorText(SiteError::Latitude)) + "\n",
     false},
    {"DiameterZero", "sun-outage", with(kBeijing, {"--sat-lon", "115.5", "--diameter", "0"}),
     "--diameter takes a positive number"},
    {"DiameterNegative", "sun-outage", with(kBeijing, {"--sat-lon", "115.5", "--diameter", "-60"}),
     "--diameter takes a positive number"},
    {"DiameterText", "sun-outage", with(kBeijing, {"--sat-lon", "115.5", "--diameter", "60cm"}),
     "--diameter takes a positive number"},
    {"DiameterNan", "sun-outage", with(kBeijing, {"--sat-lon", "115.5", "--diameter", "nan"}),
     "--diameter takes a positive number"},
    {"DiameterInfinite", "sun-outage", with(kBeijing, {"--sat-lon", "115.5", "--diameter", "inf"}),
     "--diameter takes a positive number"},
    {"DiameterEmpty", "sun-outage", with(kBeijing, {"--sat-lon", "115.5", "--diameter", ""}),
     "--diameter takes a positive number"},
    {"ImpossibleDate", "sun-azimuth", with(kBeijing, {"--azimuth", "180", "--date", "2025-02-29"}),
     "--date takes a real date"},
    {"ImpossibleMonth", "sun-azimuth", with(kBeijing, {"--azimuth", "180", "--date", "2025-13-01"}),
     "--date takes a real date"},
    {"DateNotIso", "sun-azimuth", with(kBeijing, {"--azimuth", "180", "--date", "1/3/2025"}),
     "--date takes a real date"},
    {"YearOutOfRange", "sun-outage", with(kBeijing, {"--sat-lon", "115.5", "--year", "1800"}),
     "--year takes a year"},
    {"YearNotANumber", "sun-outage", with(kBeijing, {"--sat-lon", "115.5", "--year", "2025a"}),
     "--year takes a year"},
    {"UnknownSatelliteOutage", "sun-outage", with(kBeijing, {"--sat", "E999"}),
     "unknown satellite"},
    {"UnknownSatelliteAzimuth", "sun-azimuth", with(kBeijing, {"--sat", "E999"}),
     "unknown satellite"},
    {"SatelliteBelowHorizon", "sun-outage", with(kBeijing, {"--sat-lon", "-60"}),
     "below the horizon"},
    {"SatelliteLongitudeNotANumber", "sun-azimuth", with(kBeijing, {"--sat-lon", "E115"}),
     "--sat-lon takes degrees"},
    {"AzimuthOutOfRange", "sun-azimuth", with(kBeijing, {"--azimuth", "400"}),
     "--azimuth takes degrees"},
    {"BadBand", "sun-outage", with(kBeijing, {"--sat-lon", "115.5", "--band", "Ka"}), "--band"},
    {"UnknownModel", "sun-outage", with(kBeijing, {"--sat-lon", "115.5", "--model", "无名[1cm]"}),
     "unknown antenna model"},
    {"DiameterAndModel", "sun-outage",
     with(kBeijing, {"--sat-lon", "115.5", "--diameter", "60", "--model", "中卫[60cm]"}),
     "either --diameter or --model"},
    {"NoSatellite", "sun-outage", kBeijing, "no satellite"},
    {"SatelliteTwice", "sun-outage", with(kBeijing, {"--sat", "E115.5", "--sat-lon", "115.5"}),
     "either --sat or --sat-lon"},
    {"NoDirection", "sun-azimuth", kBeijing, "no direction"},
    {"TwoDirections", "sun-azimuth", with(kBeijing, {"--sat-lon", "115.5", "--azimuth", "180"}),
     "give one of"},
    {"NoPlace", "sun-outage", {"--sat-lon", "115.5"}, "no place"},
    {"UnknownCity", "sun-azimuth", {"--city", "北京市/不存在", "--azimuth", "180"}, "unknown city"},
    {"UnknownOption", "sun-outage", with(kBeijing, {"--sat-lon", "115.5", "--colour"}),
     "unknown option"},
};

class CliSunError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(CliSunError, ExitsTwoWithReason) {
    const ErrorCase& c = GetParam();
    const Outcome run = runWithPackage(c.command, c.args);
    const std::string call = std::string(c.command) + " " + joined(c.args) + "\n" + described(run);
    expectRefused(call, run, c.stderrPart, c.oneLine);
}

INSTANTIATE_TEST_SUITE_P(Cases, CliSunError, ::testing::ValuesIn(kErrorCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
