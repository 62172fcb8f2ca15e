// The azimuth of a satellite far west of south is shown whenever the satellite is in view, and
// every azimuth the pointing tab showed before stays exactly as it was. The label rule the
// program first shipped is kept here verbatim; whole runs (labels, texts, report, diagram plan)
// over a grid of sites and satellites are folded into digests taken with that first build; the
// newly shown bearings are checked against look angles on the WGS84 ellipsoid.
#include "common/Numbers.h"
#include "pointing/diagram/DiagramPlan.h"
#include "pointing/geometry/PointingGeometry.h"
#include "pointing/report/PointingReport.h"
#include "pointing/run/PointingRun.h"

#include "support/PointingTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <variant>
#include <vector>

namespace zorvast::pointing {
namespace {

using common::formatDouble;

// The azimuth label as first shipped: a ratio above 9 blanks it, whatever the elevation.
std::string legacyAzimuthLabelText(double siteLongitude, double siteLatitude,
                                   double satelliteLongitude) {
    if (common::greaterThan(azimuthRatio(siteLongitude, siteLatitude, satelliteLongitude), 9)) {
        return "- -";
    }
    return formatDouble(azimuth(siteLongitude, siteLatitude, satelliteLongitude));
}

// From `from` to `to` in steps of `every` / `perDegree` degrees, built from integers so that the
// edges (70, 150, 1, 60) are hit exactly.
std::vector<double> steps(int from, int to, int perDegree, int every = 1) {
    std::vector<double> values;
    for (int i = from * perDegree; i <= to * perDegree; i += every) {
        values.push_back(static_cast<double>(i) / perDegree);
    }
    return values;
}

std::string describe(double lon, double lat, double sat) {
    return formatDouble(lon) + " E, " + formatDouble(lat) + " N, satellite " + formatDouble(sat);
}

// Texts an earlier run left behind, so that a text a run does not refresh shows up too.
PointingResult staleResult() {
    PointingResult r;
    r.southSide = "stale side";
    r.southOffset = "stale offset";
    r.watchHour = "stale hour";
    r.droopAngle = "stale droop";
    r.lnbDirection = "stale lnb";
    r.lnbReferencePart = "stale part";
    r.compassText = "stale compass";
    return r;
}

// Look angles on the WGS84 ellipsoid (site at height 0) to an ideal geostationary point, by
// plain vector arithmetic in an Earth-centred frame: nothing shared with the label formulas.
struct LookAngles {
    double azimuth;   // degrees from north through east, 0 to 360
    double elevation; // degrees
};

LookAngles wgs84LookAngles(double siteLongitude, double siteLatitude, double satelliteLongitude) {
    constexpr double pi = 3.14159265358979323846;
    constexpr double a = 6378.137; // km
    constexpr double f = 1 / 298.257223563;
    constexpr double e2 = f * (2 - f);
    constexpr double orbit = 42164.17; // km
    const double phi = siteLatitude * pi / 180;
    const double lambda = siteLongitude * pi / 180;
    const double sat = satelliteLongitude * pi / 180;
    const double n = a / std::sqrt(1 - e2 * std::sin(phi) * std::sin(phi));
    const double site[3] = {n * std::cos(phi) * std::cos(lambda),
                            n * std::cos(phi) * std::sin(lambda), n * (1 - e2) * std::sin(phi)};
    const double look[3] = {orbit * std::cos(sat) - site[0], orbit * std::sin(sat) - site[1],
                            -site[2]};
    const double east[3] = {-std::sin(lambda), std::cos(lambda), 0};
    const double north[3] = {-std::sin(phi) * std::cos(lambda), -std::sin(phi) * std::sin(lambda),
                             std::cos(phi)};
    const double up[3] = {std::cos(phi) * std::cos(lambda), std::cos(phi) * std::sin(lambda),
                          std::sin(phi)};
    auto dot = [](const double* u, const double* v) {
        return u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
    };
    double az = std::atan2(dot(look, east), dot(look, north)) * 180 / pi;
    if (az < 0) {
        az += 360;
    }
    const double el = std::asin(dot(look, up) / std::sqrt(dot(look, look))) * 180 / pi;
    return {az, el};
}

TEST(AzimuthSweep, EveryLabelOverTheRange) {
    const std::vector<double> longitudes = steps(70, 150, 2);
    const std::vector<double> latitudes = steps(1, 60, 2);
    const std::vector<double> satellites = steps(0, 180, 2);
    long long cases = 0;
    long long shownBefore = 0;
    long long nowShown = 0;
    long long failures = 0;
    double lowest = 360;
    double highest = 0;
    double northmost = 0;
    double worstError = 0;
    // Counts every fault, tells the first few.
    auto fail = [&failures](double lon, double lat, double sat, const std::string& what) {
        if (++failures <= 20) {
            ADD_FAILURE() << describe(lon, lat, sat) << ": " << what;
        }
    };
    for (double lon : longitudes) {
        for (double lat : latitudes) {
            for (double sat : satellites) {
                ++cases;
                const std::string before = legacyAzimuthLabelText(lon, lat, sat);
                const std::string now = azimuthLabel(lon, lat, sat).text();
                const bool inView = elevationLabel(lon, lat, sat).text() != kNotVisible;
                if (before != kNotVisible) {
                    ++shownBefore;
                    if (now != before) {
                        fail(lon, lat, sat, "was \"" + before + "\", now \"" + now + '"');
                    }
                    continue;
                }
                if (!inView) {
                    if (now != kNotVisible) {
                        fail(lon, lat, sat, "below the horizon, now \"" + now + '"');
                    }
                    continue;
                }
                // Blanked before although in view: now the bearing far west of south.
                ++nowShown;
                const double value = azimuth(lon, lat, sat);
                const double exact = wgs84LookAngles(lon, lat, sat).azimuth;
                if (now != formatDouble(value) || value < 263.7 - 1e-9 || value > 270 + 1e-9 ||
                    std::fabs(value - exact) > 0.1) {
                    fail(lon, lat, sat,
                         "now \"" + now + "\", " + formatDouble(value) + " by the formula, " +
                             formatDouble(exact) + " on the ellipsoid");
                }
                lowest = std::min(lowest, value);
                highest = std::max(highest, value);
                northmost = std::max(northmost, lat);
                worstError = std::max(worstError, std::fabs(value - exact));
            }
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(cases, 161LL * 119 * 361);
    // The grid reaches both sides of the old limit, and the cases it used to blank.
    EXPECT_GT(shownBefore, cases / 2);
    EXPECT_GT(nowShown, 1000);
    std::printf("%lld cases: %lld shown before and unchanged, %lld shown now that were blanked "
                "(azimuth %s to %s, up to %s N, within %.3f of the ellipsoid)\n",
                cases, shownBefore, nowShown, formatDouble(lowest).c_str(),
                formatDouble(highest).c_str(), formatDouble(northmost).c_str(), worstError);
}

// ---------------------------------------------------------------------------------------------
// Satellites far west of south, on both sides of the old ratio limit, through a whole run.

struct FarWestCase {
    double lon, lat, sat;
    bool declination;
    const char* azimuthBefore; // the label as first shipped
    const char* compassBefore; // the compass bearing then
    const char* azimuth;
    const char* elevation;
    const char* compass;
    const char* southOffset;
    const char* clock;
    const char* watchHour;
};

const FarWestCase kFarWestCases[] = {
    {140, 5, 100.5, false, "- -", "0", "264", "44", "264", "84", "02:48", "3点整"},
    {140, 5, 100.5, true, "- -", "-2.3", "264", "44", "261.7", "81.7", "02:42", "2点半"},
    {150, 5, 100, false, "- -", "0", "265.8", "32.5", "265.8", "85.8", "02:54", "3点整"},
    {150, 5, 100, true, "- -", "-4.4", "265.8", "32.5", "261.4", "81.4", "02:42", "2点半"},
    // Ratio 8.56, 8.993, 9.003, 9.075 and 10.1 at 1 N: the first two were shown already.
    {150, 1, 141.5, false, "263.3", "263.3", "263.3", "79.9", "263.3", "83.3", "02:48", "3点整"},
    {150, 1, 141.08, false, "263.7", "263.7", "263.7", "79.4", "263.7", "83.7", "02:48", "3点整"},
    {150, 1, 141.07, false, "- -", "0", "263.7", "79.4", "263.7", "83.7", "02:48", "3点整"},
    {150, 1, 141, true, "- -", "-5.2", "263.7", "79.3", "258.5", "78.5", "02:36", "2点半"},
    {150, 1, 140, false, "- -", "0", "264.3", "78.2", "264.3", "84.3", "02:48", "3点整"},
    {70, 1, 60, false, "- -", "0", "264.3", "78.2", "264.3", "84.3", "02:48", "3点整"},
    {150, 10, 75, true, "- -", "-3.4", "267.3", "6.1", "263.9", "83.9", "02:48", "3点整"},
    {120, 15, 50, false, "- -", "0", "264.6", "10.7", "264.6", "84.6", "02:48", "3点整"},
    {150, 18, 78, true, "- -", "-1.1", "264.3", "8.5", "263.2", "83.2", "02:48", "3点整"},
    {145, 18.5, 75, false, "263.4", "263.4", "263.4", "10.4", "263.4", "83.4", "02:48", "3点整"},
    {145, 18.5, 74, false, "- -", "0", "263.8", "9.4", "263.8", "83.8", "02:48", "3点整"},
    // Further north only a satellite still further west is past the limit and in view.
    {150, 30, 71, true, "- -", "2.9", "264.4", "0.8", "267.3", "87.3", "02:54", "3点整"},
};

TEST(AzimuthFarWest, ShownWithItsCompassAndTexts) {
    for (const FarWestCase& c : kFarWestCases) {
        const std::string where =
            describe(c.lon, c.lat, c.sat) + (c.declination ? " with declination" : "");
        EXPECT_EQ(legacyAzimuthLabelText(c.lon, c.lat, c.sat), c.azimuthBefore) << where;
        const float legacyCompass =
            compassBearingOf(static_cast<float>(common::parseLeadingNumber(c.azimuthBefore)),
                             c.declination ? declinationAt(c.lat, c.lon) : 0.0f);
        EXPECT_EQ(common::formatSingle(legacyCompass), c.compassBefore) << where;

        TextInputs in;
        in.longitudeText = formatDouble(c.lon);
        in.latitudeText = formatDouble(c.lat);
        in.satelliteText = "E" + formatDouble(c.sat) + "(x)";
        in.declinationCorrection = c.declination;
        PointingResult r = staleResult();
        DiagramPlanner planner;
        const TextOutcome outcome = runPointing(in, "", r, &planner);
        EXPECT_EQ(r.azimuth.text(), c.azimuth) << where;
        EXPECT_EQ(r.elevation.text(), c.elevation) << where;
        EXPECT_EQ(common::formatSingle(r.compassBearing), c.compass) << where;
        EXPECT_EQ(r.compassText, c.compass) << where;
        EXPECT_EQ(r.southSide, "南偏西") << where;
        EXPECT_EQ(r.southOffset, c.southOffset) << where;
        EXPECT_EQ(outcome.clockText, c.clock) << where;
        EXPECT_EQ(r.watchHour, c.watchHour) << where;
        EXPECT_NEAR(wgs84LookAngles(c.lon, c.lat, c.sat).azimuth,
                    common::parseLeadingNumber(c.azimuth), 0.1)
            << where;

        // The diagram: top view and hour hand shown, the bearing texts drawn, no coverage mark.
        const SpritePlan& sprites = planner.spritePlan();
        EXPECT_TRUE(sprites.states[indexOf(SpriteId::DishTopPrime)].visible) << where;
        EXPECT_TRUE(sprites.states[indexOf(SpriteId::HourHand)].visible) << where;
        bool watchDrawn = false;
        bool clockDrawn = false;
        for (const Drawing& d : planner.drawings()) {
            if (const auto* t = std::get_if<DrawText>(&d)) {
                watchDrawn = watchDrawn || (t->x == 224 && t->y == 5 && t->text == c.watchHour);
                clockDrawn = clockDrawn || (t->x == 365 && t->y == 68 && t->text == c.clock);
                EXPECT_NE(t->text, "【无信号覆盖】") << where;
            }
        }
        EXPECT_TRUE(watchDrawn) << where;
        EXPECT_TRUE(clockDrawn) << where;

        ReportInputs report;
        report.satellite = in.satelliteText;
        report.declinationCorrection = c.declination;
        const std::string text = buildPointingReport(report, r);
        EXPECT_EQ(text.find("无信号覆盖"), std::string::npos) << where;
        EXPECT_NE(text.find(std::string("\r\n方位角：") + c.azimuth + "度"), std::string::npos)
            << where << "\n"
            << text;
    }
}

TEST(AzimuthFarWest, BelowTheHorizonStaysBlanked) {
    const struct {
        double lon, lat, sat;
    } cases[] = {{150, 40, 60}, {150, 18, 60}, {150, 34.5, 70.5}, {70, 5, 170}};
    for (const auto& c : cases) {
        const std::string where = describe(c.lon, c.lat, c.sat);
        ASSERT_GT(azimuthRatio(c.lon, c.lat, c.sat), kAzimuthRatioLimit) << where;
        EXPECT_EQ(elevationLabel(c.lon, c.lat, c.sat).text(), kNotVisible) << where;
        EXPECT_EQ(azimuthLabel(c.lon, c.lat, c.sat).text(), kNotVisible) << where;
    }
}

TEST(AzimuthFarWest, TheReportForOneHundredFortyEastFiveNorth) {
    TextInputs in;
    in.longitudeText = "140";
    in.latitudeText = "5";
    in.satelliteText = "E100.5(亚洲5号)";
    in.declinationCorrection = true;
    PointingResult r;
    runPointing(in, "", r);
    ReportInputs report;
    report.province = "省";
    report.city = "市";
    report.satellite = in.satelliteText;
    report.antenna = "中卫[150cm]";
    report.declinationCorrection = true;
    EXPECT_EQ(buildPointingReport(report, r),
              "------☆Zorvast寻星计算☆------\r\n\r\n地点：省，市\r\n卫星：E100.5(亚洲5号)\r\n"
              "天线：中卫[150cm]，正馈\r\n方位角：264度，经磁偏修正的指北针指向：261.7度（即 "
              "南偏西81.7度），手表时针指向：2点半\r\n仰角：44度\r\n高频头极化角：-82.2度，"
              "电路盒方向：左方偏下\r\n");
}

// ---------------------------------------------------------------------------------------------
// Whole runs folded into one FNV-1a digest per latitude.

class Digest {
public:
    void add(std::string_view bytes) {
        for (unsigned char c : bytes) {
            value_ = (value_ ^ c) * 0x100000001b3ULL;
        }
        value_ = (value_ ^ 0x1fU) * 0x100000001b3ULL; // field separator
    }
    void add(long long n) { add(std::to_string(n)); }
    std::uint64_t value() const { return value_; }

private:
    std::uint64_t value_ = 0xcbf29ce484222325ULL;
};

void addColour(Digest& d, const common::Rgb& c) {
    d.add(c.r);
    d.add(c.g);
    d.add(c.b);
}

void addDrawing(Digest& d, const Drawing& drawing) {
    std::visit(
        [&d](const auto& item) {
            using T = std::decay_t<decltype(item)>;
            if constexpr (std::is_same_v<T, DrawLine>) {
                d.add("line");
                for (int v : {item.x1, item.y1, item.x2, item.y2, item.width}) {
                    d.add(v);
                }
                addColour(d, item.colour);
                d.add(item.dotted ? 1 : 0);
            } else if constexpr (std::is_same_v<T, DrawPixel>) {
                d.add("pixel");
                d.add(item.x);
                d.add(item.y);
                addColour(d, item.colour);
            } else if constexpr (std::is_same_v<T, DrawRoundedRect>) {
                d.add("frame");
                for (int v : {item.x1, item.y1, item.x2, item.y2, item.width}) {
                    d.add(v);
                }
                addColour(d, item.colour);
            } else {
                d.add("text");
                d.add(item.x);
                d.add(item.y);
                d.add(item.text);
                d.add(item.size);
                d.add(item.bold ? 1 : 0);
                addColour(d, item.colour);
            }
        },
        drawing);
}

struct RunVariant {
    FeedType feed;
    Mounting mounting;
    int antennaOffset;
    bool declination;
};

constexpr RunVariant kVariants[] = {
    {FeedType::PrimeFocus, Mounting::Upright, 0, false},
    {FeedType::Offset, Mounting::Inverted, 2275, true},
};

void addRun(Digest& d, double lon, double lat, double sat, const RunVariant& v) {
    TextInputs in;
    in.longitudeText = formatDouble(lon);
    in.latitudeText = formatDouble(lat);
    in.satelliteText = "E" + formatDouble(sat) + "(x)";
    in.feed = v.feed;
    in.mounting = v.mounting;
    in.antennaOffset = v.antennaOffset;
    in.declinationCorrection = v.declination;
    PointingResult r = staleResult();
    DiagramPlanner planner;
    const TextOutcome outcome = runPointing(in, "", r, &planner);

    d.add(r.azimuth.text());
    d.add(r.elevation.text());
    d.add(r.polarisation.text());
    std::uint32_t bits = 0;
    std::memcpy(&bits, &r.compassBearing, sizeof bits);
    d.add(static_cast<long long>(bits));
    d.add(common::formatSingle(r.compassBearing));
    d.add(r.signedOffset);
    for (const std::string* text : {&r.southSide, &r.southOffset, &r.watchHour, &r.droopAngle,
                                    &r.lnbDirection, &r.lnbReferencePart, &r.compassText}) {
        d.add(*text);
    }
    d.add(outcome.clockText);

    ReportInputs report;
    report.province = "省";
    report.city = "市";
    report.satellite = in.satelliteText;
    report.antenna = "天线";
    report.feed = v.feed;
    report.mounting = v.mounting;
    report.declinationCorrection = v.declination;
    d.add(buildPointingReport(report, r));

    const SpritePlan& sprites = planner.spritePlan();
    for (std::size_t i = 0; i < kSpriteCount; ++i) {
        const SpriteState& s = sprites.states[i];
        d.add(s.visible ? 1 : 0);
        d.add(s.angle);
        d.add(s.mirrored ? 1 : 0);
        if (const auto& turn = sprites.turns[i]) {
            d.add(turn->step);
            d.add(turn->total);
            d.add(turn->timeLimitMs);
        } else {
            d.add("no turn");
        }
    }
    for (const Drawing& drawing : planner.drawings()) {
        addDrawing(d, drawing);
    }
}

struct RowDigest {
    int latitude;
    long long runs;
    std::uint64_t digest;
};

// Taken with the first build; every run whose azimuth label was shown then.
const std::vector<RowDigest> kRowDigests = {
    {1, 3296, 0x48c7fcb75666454cULL},  {2, 3574, 0x32674b596a2211a4ULL},
    {3, 3838, 0x1b80321d4ae54a0aULL},  {4, 4066, 0xc6651b89f5b1b374ULL},
    {5, 4264, 0xba97591c34c42bd2ULL},  {6, 4428, 0x6685f52cfc572141ULL},
    {7, 4576, 0x218ebc8cd3f5872aULL},  {8, 4690, 0xd4070719c371aefbULL},
    {9, 4804, 0x0912ce347498a989ULL},  {10, 4886, 0x0bab72e3c42686ebULL},
    {11, 4968, 0x650f5da0f0b9d7f9ULL}, {12, 5034, 0x41af2a743f4dd023ULL},
    {13, 5100, 0x9536441f99ff592aULL}, {14, 5150, 0x3be1cdead59a110eULL},
    {15, 5198, 0xa00f9322a15388e5ULL}, {16, 5248, 0x1a5b54f998fe2637ULL},
    {17, 5280, 0x632d59ce67d5b69aULL}, {18, 5316, 0x3e10a8e4bb676a97ULL},
    {19, 5348, 0x528a1d55871c4691ULL}, {20, 5382, 0x0346965b590fd059ULL},
    {21, 5400, 0x629a3863f6a41005ULL}, {22, 5416, 0x27cc209dae9b314cULL},
    {23, 5450, 0xc7993f0cfe0a3175ULL}, {24, 5466, 0x195500912b99b81bULL},
    {25, 5484, 0x056630ecd3432c1dULL}, {26, 5500, 0x9ef8a8c0d9d16479ULL},
    {27, 5518, 0x2a901952f6b8fb7dULL}, {28, 5534, 0x82d35a75f9f760a8ULL},
    {29, 5550, 0xf10f20f48e2ff073ULL}, {30, 5550, 0xca354e4e6ae7472cULL},
    {31, 5568, 0x06c12a577b8ec819ULL}, {32, 5586, 0x5c17630605c9879aULL},
    {33, 5586, 0x386305be966652d8ULL}, {34, 5602, 0xde651973ca00e323ULL},
    {35, 5618, 0x9c260ac4c16584faULL}, {36, 5618, 0x3290e78316a5822cULL},
    {37, 5634, 0xfbc31b7d4d889416ULL}, {38, 5634, 0x776a1676b2299712ULL},
    {39, 5634, 0x0d61a04d9bb567faULL}, {40, 5654, 0x96d3e9c24e882dbcULL},
    {41, 5654, 0x1fd6590373e9b637ULL}, {42, 5670, 0xc809be69a1c9f342ULL},
    {43, 5670, 0x4f3f75658cc551cdULL}, {44, 5670, 0x09e24692af2125b2ULL},
    {45, 5686, 0x4b0e8d59a8099a8eULL}, {46, 5686, 0x8997e47deed9b19cULL},
    {47, 5686, 0x88af01949f59f7bbULL}, {48, 5686, 0x9ed4157ee306c17fULL},
    {49, 5702, 0x06a530ec5c219a87ULL}, {50, 5702, 0x9f2f1292089edb34ULL},
    {51, 5702, 0x4c1f95cd7b2363e4ULL}, {52, 5702, 0xadfcdb1587e6123cULL},
    {53, 5720, 0x0d831f2487915482ULL}, {54, 5720, 0x67a4ec56e8c06d6bULL},
    {55, 5720, 0xab1c50cb5fa498e2ULL}, {56, 5720, 0x92f501170436bf8cULL},
    {57, 5720, 0x6c43aa40c4236cc8ULL}, {58, 5738, 0xcb646e92106c460fULL},
    {59, 5738, 0x62ae7f3913c6db2dULL}, {60, 5738, 0x1e24c37ef68cf4c8ULL},
};

TEST(AzimuthSweep, EveryRunShownBeforeIsUnchanged) {
    const std::vector<double> longitudes = steps(70, 150, 1, 2);
    const std::vector<double> satellites = steps(0, 180, 2, 5);
    std::string table;
    std::vector<RowDigest> rows;
    for (int lat = 1; lat <= 60; ++lat) {
        Digest d;
        long long runs = 0;
        for (double lon : longitudes) {
            for (double sat : satellites) {
                if (legacyAzimuthLabelText(lon, lat, sat) == kNotVisible) {
                    continue;
                }
                for (const RunVariant& v : kVariants) {
                    addRun(d, lon, lat, sat, v);
                    ++runs;
                }
            }
        }
        rows.push_back({lat, runs, d.value()});
        char line[80];
        std::snprintf(line, sizeof line, "    {%d, %lld, 0x%016llxULL},\n", lat, runs,
                      static_cast<unsigned long long>(d.value()));
        table += line;
    }
    ASSERT_EQ(kRowDigests.size(), rows.size()) << "digests of this build:\n" << table;
    long long total = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].latitude, kRowDigests[i].latitude);
        EXPECT_EQ(rows[i].runs, kRowDigests[i].runs) << "latitude " << rows[i].latitude;
        EXPECT_EQ(rows[i].digest, kRowDigests[i].digest) << "latitude " << rows[i].latitude;
        total += rows[i].runs;
    }
    std::printf("%lld runs compared\n", total);
}

} // namespace
} // namespace zorvast::pointing
