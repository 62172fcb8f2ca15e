// The sun tools' own logic: Beijing dates, the dish figures, the satellite's direction, the
// agreement of the interpolated sun path with ERFA's full apparent place, and the table text.
#include "common/Text.h"
#include "pointing/geometry/PointingGeometry.h"
#include "pointing/sun/SunAzimuth.h"
#include "pointing/sun/SunDates.h"
#include "pointing/sun/SunOutage.h"
#include "pointing/sun/SunPosition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zorvast::pointing::sun {

void PrintTo(const LocalDate& d, std::ostream* os) {
    *os << d.year << "-" << d.month << "-" << d.day;
}

namespace {

// ---------------------------------------------------------------------------------------------
// Dates

struct DateCase {
    LocalDate date;
    bool valid;
};

const DateCase kDateCases[] = {
    {{2025, 3, 4}, true},   {{2024, 2, 29}, true},  {{2000, 2, 29}, true},   {{2025, 12, 31}, true},
    {{1972, 1, 1}, true},   {{2199, 12, 31}, true}, {{2025, 2, 29}, false},  {{1900, 2, 29}, false},
    {{2100, 2, 29}, false}, {{2025, 4, 31}, false}, {{2025, 13, 1}, false},  {{2025, 0, 10}, false},
    {{2025, 6, 0}, false},  {{2025, 1, 32}, false}, {{1971, 12, 31}, false}, {{2200, 1, 1}, false},
    {{-1, 1, 1}, false},
};

TEST(SunDates, ValidDateRefusesImpossibleDays) {
    for (const DateCase& c : kDateCases) {
        EXPECT_EQ(validDate(c.date), c.valid) << dateText(c.date);
    }
}

struct ParseCase {
    const char* text;
    std::optional<LocalDate> date;
};

const ParseCase kParseCases[] = {
    {"2025-03-04", LocalDate{2025, 3, 4}}, {"2024-02-29", LocalDate{2024, 2, 29}},
    {"2025-02-29", std::nullopt},          {"2025-3-4", std::nullopt},
    {"2025/03/04", std::nullopt},          {"2025-03-04 ", std::nullopt},
    {" 2025-03-04", std::nullopt},         {"20a5-03-04", std::nullopt},
    {"2025-04-31", std::nullopt},          {"", std::nullopt},
    {"+025-03-04", std::nullopt},
};

TEST(SunDates, ParseDateTextTakesOnlyRealIsoDates) {
    for (const ParseCase& c : kParseCases) {
        EXPECT_EQ(parseDateText(c.text), c.date) << "'" << c.text << "'";
    }
}

TEST(SunDates, DayNumbersRoundTripOverTheAcceptedYears) {
    long long previous = daysFromCivil({kFirstYear, 1, 1}) - 1;
    for (LocalDate d{kFirstYear, 1, 1}; d.year <= kLastYear;) {
        const long long n = daysFromCivil(d);
        ASSERT_EQ(n, previous + 1) << dateText(d);
        ASSERT_EQ(civilFromDays(n), d);
        previous = n;
        d = civilFromDays(n + 1);
    }
    EXPECT_EQ(daysFromCivil({1970, 1, 1}), 0);
    EXPECT_EQ(daysFromCivil({2000, 3, 1}), 11017);
}

TEST(SunDates, BeijingMidnightIsSixteenHundredUtcTheDayBefore) {
    // 2025-03-04 00:00 +08:00 = 2025-03-03 16:00 UTC = 1741017600.
    EXPECT_EQ(beijingMidnight({2025, 3, 4}), 1741017600.0);
    EXPECT_EQ(beijingDateOf(1741017600.0), (LocalDate{2025, 3, 4}));
    EXPECT_EQ(beijingDateOf(1741017599.0), (LocalDate{2025, 3, 3}));
    EXPECT_EQ(beijingDateOf(1741017600.0 + 86399.0), (LocalDate{2025, 3, 4}));
}

TEST(SunDates, Texts) {
    EXPECT_EQ(dateText({2025, 3, 4}), "2025-03-04");
    EXPECT_EQ(minuteText(0), "00:00");
    EXPECT_EQ(minuteText(751), "12:31");
    EXPECT_EQ(minuteText(1439), "23:59");
}

// ---------------------------------------------------------------------------------------------
// Dish figures: 70 * (c / f) / D, then half of it plus a quarter degree.

struct DishCase {
    double diameter;
    Band band;
    double beamwidth;
};

const DishCase kDishCases[] = {
    {1.5, Band::C, 3.497578677},   {0.6, Band::Ku, 2.914648897}, {3.0, Band::C, 1.748789338},
    {0.45, Band::Ku, 3.886198530}, {2.4, Band::C, 2.185986673},  {1.2, Band::Ku, 1.457324449},
};

TEST(SunDish, BeamwidthAndOutageAngle) {
    for (const DishCase& c : kDishCases) {
        EXPECT_NEAR(beamwidth(c.diameter, c.band), c.beamwidth, 1e-8) << c.diameter;
        EXPECT_NEAR(outageAngle(c.beamwidth), c.beamwidth / 2 + 0.25, 1e-12);
    }
}

// ---------------------------------------------------------------------------------------------
// Satellite direction

TEST(SunSatellite, DueSouthAtTheSatellitesLongitude) {
    for (double lat : {1.0, 20.0, 45.0, 60.0}) {
        const Direction d = satelliteDirection(115.5, lat, 115.5);
        EXPECT_NEAR(d.azimuth, 180.0, 1e-9) << lat;
    }
    // Straight up from the equator below it.
    EXPECT_NEAR(satelliteDirection(100.5, 0, 100.5).elevation, 90.0, 1e-9);
}

TEST(SunSatellite, MirrorImageEastAndWest) {
    const Direction east = satelliteDirection(110, 30, 125);
    const Direction west = satelliteDirection(110, 30, 95);
    EXPECT_NEAR(east.azimuth + west.azimuth, 360.0, 1e-9);
    EXPECT_NEAR(east.elevation, west.elevation, 1e-9);
    EXPECT_LT(east.azimuth, 180.0);
}

TEST(SunSatellite, CloseToThePointingTabsSphericalFigures) {
    // The tab's formulas take a spherical Earth; the ellipsoid moves the angles by a few
    // tenths of a degree at most.
    const double sites[][2] = {{116.46, 39.92}, {87.68, 43.77}, {113.23, 23.16}, {126.63, 45.75}};
    for (const auto& s : sites) {
        for (double sat : {87.5, 100.5, 115.5, 134.0}) {
            const Direction d = satelliteDirection(s[0], s[1], sat);
            EXPECT_NEAR(d.azimuth, azimuth(s[0], s[1], sat), 0.35) << s[0] << " " << sat;
            EXPECT_NEAR(d.elevation, elevation(s[0], s[1], sat), 0.35) << s[0] << " " << sat;
        }
    }
}

TEST(SunSatellite, BelowTheHorizonWhenFarAway) {
    EXPECT_LT(satelliteDirection(116.46, 39.92, -60).elevation, 0);
    EXPECT_GT(satelliteDirection(116.46, 39.92, 180).elevation, 0);
}

TEST(SunGeometry, SeparationOfDirections) {
    EXPECT_NEAR(separation({10, 20}, {10, 20}), 0, 1e-12);
    EXPECT_NEAR(separation({0, 0}, {90, 0}), 90, 1e-9);
    EXPECT_NEAR(separation({359.5, 0}, {0.5, 0}), 1.0, 1e-9);
    EXPECT_NEAR(separation({123, 90}, {300, 89}), 1.0, 1e-9); // azimuth means nothing at zenith
    EXPECT_NEAR(separation({180, 40}, {180, 43}), 3.0, 1e-9);
}

// ---------------------------------------------------------------------------------------------
// The interpolated sun path against ERFA's full apparent place at every instant.

TEST(SunPathTest, AgreesWithTheFullApparentPlaceWithinOneArcsecond) {
    const double sites[][2] = {{116.46, 39.92}, {75.99, 39.47}, {140, 5}, {130, 55}};
    for (const auto& s : sites) {
        SunPath path(s[0], s[1]);
        const double start = beijingMidnight({2025, 1, 1});
        for (int i = 0; i < 400; ++i) {
            const double t = start + i * 78901.3; // about a year, at changing hours
            const Direction full = sunDirection(s[0], s[1], t);
            const Direction fast = path.sunDirection(t);
            ASSERT_LT(separation(full, fast) * 3600.0, 1.0) << s[0] << " " << s[1] << " " << t;
        }
    }
}

TEST(SunPathTest, OneErfaEvaluationPerFourDays) {
    SunPath path(116.46, 39.92);
    const double start = beijingMidnight({2025, 1, 1});
    for (int minute = 0; minute < 365 * kMinutesPerDay; minute += 7) {
        path.sunVector(start + 60.0 * minute);
    }
    // 92 node steps in the year, plus the cubic's one before and two after.
    EXPECT_LE(path.evaluations(), 92u + 4u);
    EXPECT_GE(path.evaluations(), 91u);
}

TEST(SunPathTest, NodesAreEveryFourthBeijingMidnight) {
    EXPECT_EQ(SunPath::nodeOf(0), 0);
    EXPECT_EQ(SunPath::nodeOf(3), 0);
    EXPECT_EQ(SunPath::nodeOf(4), 1);
    EXPECT_EQ(SunPath::nodeOf(-1), -1);
    EXPECT_EQ(SunPath::dayOfNode(5037), 20148);
}

// ---------------------------------------------------------------------------------------------
// Forecast edges

TEST(SunOutageTest, NothingForASatelliteBelowTheHorizonOrABadAngleOrYear) {
    EXPECT_TRUE(outageForecast(116.46, 39.92, -60, 2.0, 2025).empty());
    EXPECT_TRUE(outageForecast(116.46, 39.92, 115.5, 0, 2025).empty());
    EXPECT_TRUE(outageForecast(116.46, 39.92, 115.5, -1, 2025).empty());
    EXPECT_TRUE(outageForecast(116.46, 39.92, 115.5, NAN, 2025).empty());
    EXPECT_TRUE(outageForecast(116.46, 39.92, 115.5, 2.0, 1900).empty());
    EXPECT_TRUE(outageForecast(116.46, 39.92, 115.5, 2.0, 2200).empty());
}

TEST(SunOutageTest, DaysInOrderAndPeakBetweenStartAndEnd) {
    const std::vector<OutageDay> days = outageForecast(113.23, 23.16, 100.5, 2.2, 2026);
    ASSERT_FALSE(days.empty());
    for (std::size_t i = 0; i < days.size(); ++i) {
        EXPECT_LE(days[i].startMinute, days[i].peakMinute);
        EXPECT_LE(days[i].peakMinute, days[i].endMinute);
        EXPECT_LE(days[i].peakSeparation, 2.2);
        if (i > 0) {
            EXPECT_LT(days[i - 1].date, days[i].date);
        }
    }
    // Spring and autumn, nothing in between.
    EXPECT_EQ(days.front().date.month, 3);
    EXPECT_EQ(days.back().date.month, 10);
}

TEST(SunOutageTest, WiderAngleNeverLosesADayOrAMinute) {
    const std::vector<OutageDay> narrow = outageForecast(116.46, 39.92, 115.5, 1.0, 2025);
    const std::vector<OutageDay> wide = outageForecast(116.46, 39.92, 115.5, 3.0, 2025);
    ASSERT_FALSE(narrow.empty());
    for (const OutageDay& n : narrow) {
        bool found = false;
        for (const OutageDay& w : wide) {
            if (w.date == n.date) {
                found = true;
                EXPECT_LE(w.startMinute, n.startMinute);
                EXPECT_GE(w.endMinute, n.endMinute);
            }
        }
        EXPECT_TRUE(found) << dateText(n.date);
    }
    EXPECT_GT(wide.size(), narrow.size());
}

TEST(SunOutageTest, HugeAngleStillOneIntervalPerDayInDaylight) {
    // A 10 cm C-band "dish": a 26-degree outage angle covers weeks; every minute counted must
    // have the sun up, so no day starts before sunrise.
    const std::vector<OutageDay> days = outageForecast(116.46, 39.92, 115.5, 26.5, 2025);
    ASSERT_GT(days.size(), 60u);
    SunPath path(116.46, 39.92);
    for (const OutageDay& d : days) {
        const double midnight = beijingMidnight(d.date);
        EXPECT_GE(path.sunDirection(midnight + 60.0 * d.startMinute).elevation, 0)
            << dateText(d.date);
        EXPECT_GE(path.sunDirection(midnight + 60.0 * d.endMinute).elevation, 0)
            << dateText(d.date);
    }
}

TEST(SunOutageTest, NextSeasonYear) {
    // Beijing and ChinaSat 6B with a 150 cm C-band dish: outages until mid October.
    const double angle = outageAngle(beamwidth(1.5, Band::C));
    EXPECT_EQ(nextSeasonYear(116.46, 39.92, 115.5, angle, {2025, 1, 10}), 2025);
    EXPECT_EQ(nextSeasonYear(116.46, 39.92, 115.5, angle, {2025, 6, 1}), 2025);
    EXPECT_EQ(nextSeasonYear(116.46, 39.92, 115.5, angle, {2025, 10, 8}), 2025);
    EXPECT_EQ(nextSeasonYear(116.46, 39.92, 115.5, angle, {2025, 11, 2}), 2026);
    // No outage at all (satellite below the horizon): stays on this year.
    EXPECT_EQ(nextSeasonYear(116.46, 39.92, -60, angle, {2025, 11, 2}), 2025);
}

// ---------------------------------------------------------------------------------------------
// Table text

TEST(SunOutageText, TableWithHeaderTabsAndCrLf) {
    const std::vector<OutageDay> days = {{{2025, 3, 4}, 743, 750, 758, 0.13},
                                         {{2025, 10, 14}, 724, 725, 725, 1.99},
                                         {{2025, 10, 15}, 726, 726, 726, 2.0}};
    EXPECT_EQ(outageTableText(days), "日期\t开始\t最强\t结束\t时长\r\n"
                                     "2025-03-04\t12:23\t12:30\t12:38\t15分钟\r\n"
                                     "2025-10-14\t12:04\t12:05\t12:05\t1分钟\r\n"
                                     "2025-10-15\t12:06\t12:06\t12:06\t不到1分钟\r\n");
    EXPECT_EQ(outageTableText({}), "日期\t开始\t最强\t结束\t时长\r\n（无日凌）\r\n");
    const common::Gbk file = outageTableFile(days);
    EXPECT_EQ(common::fromGbk(file), outageTableText(days));
    EXPECT_EQ(file.bytes.substr(0, 4), "\xC8\xD5\xC6\xDA"); // 日期 in GBK
}

TEST(SunOutageText, DishFiguresTwoDecimals) {
    EXPECT_EQ(dishFiguresText(1.75, 1.125001), "波束宽度 1.75°，日凌角 1.13°");
    EXPECT_EQ(dishFiguresText(beamwidth(1.5, Band::C), outageAngle(beamwidth(1.5, Band::C))),
              "波束宽度 3.50°，日凌角 2.00°");
    EXPECT_EQ(dishFiguresText(0.583, 0.8), "波束宽度 0.58°，日凌角 0.80°");
}

// ---------------------------------------------------------------------------------------------
// Sun at an azimuth: edges

TEST(SunAzimuthTest, ImpossibleDateOrAzimuthGivesNothing) {
    EXPECT_TRUE(sunAtAzimuth(116.46, 39.92, 180, {2025, 2, 29}).empty());
    EXPECT_TRUE(sunAtAzimuth(116.46, 39.92, NAN, {2025, 3, 1}).empty());
}

TEST(SunAzimuthTest, NoonSunIsDueSouthAtTheMeridianTransit) {
    // At 120 E the sun crosses the meridian near 12:00 Beijing time, give or take the equation
    // of time (about -12 minutes on 4 March, so 12:12).
    const std::vector<Crossing> c = sunAtAzimuth(120, 30, 180, {2025, 3, 4});
    ASSERT_EQ(c.size(), 1u);
    EXPECT_NEAR(c[0].minute, 12 * 60 + 12, 1);
    EXPECT_GT(c[0].sunElevation, 50);
}

TEST(SunAzimuthTest, OppositeAzimuthIsNotACrossing) {
    // Due north at 40 N: only at midnight, below the horizon.
    EXPECT_TRUE(sunAtAzimuth(116.46, 39.92, 0, {2025, 3, 4}).empty());
    EXPECT_TRUE(sunAtAzimuth(116.46, 39.92, 360, {2025, 3, 4}).empty());
}

TEST(SunAzimuthTest, ShadowAimSentenceNamesEveryMinuteOrSaysNever) {
    EXPECT_EQ(shadowAimText({{734, 45.3}}),
              "北京时间12:14这一分钟，竖直立一根杆子，杆影所指的方向正好背离卫星，"
              "天线朝影子的反方向对准即可。");
    EXPECT_EQ(shadowAimText({{545, 20}, {905, 30}}),
              "北京时间09:05或15:05这一分钟，竖直立一根杆子，杆影所指的方向正好背离卫星，"
              "天线朝影子的反方向对准即可。");
    const std::string never = shadowAimText({});
    EXPECT_NE(never.find("到不了"), std::string::npos);
    EXPECT_EQ(never.find("北京时间"), std::string::npos);
}

} // namespace

} // namespace zorvast::pointing::sun
