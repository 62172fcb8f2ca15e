// Every azimuth the pointing tab has ever shown must stay exactly as it was. The label rule the
// program first shipped is kept here verbatim, and whole runs (labels, texts, report, diagram
// plan) over a grid of sites and satellites are folded into digests that were taken with that
// first build.
#include "common/Numbers.h"
#include "pointing/diagram/DiagramPlan.h"
#include "pointing/geometry/PointingGeometry.h"
#include "pointing/report/PointingReport.h"
#include "pointing/run/PointingRun.h"

#include <gtest/gtest.h>

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

TEST(AzimuthSweep, EveryLabelShownBeforeIsUnchanged) {
    const std::vector<double> longitudes = steps(70, 150, 2);
    const std::vector<double> latitudes = steps(1, 60, 2);
    const std::vector<double> satellites = steps(0, 180, 2);
    long long cases = 0;
    long long shownBefore = 0;
    long long failures = 0;
    for (double lon : longitudes) {
        for (double lat : latitudes) {
            for (double sat : satellites) {
                ++cases;
                const std::string before = legacyAzimuthLabelText(lon, lat, sat);
                if (before == kNotVisible) {
                    continue;
                }
                ++shownBefore;
                const std::string now = azimuthLabelText(lon, lat, sat);
                if (now != before && ++failures <= 20) {
                    ADD_FAILURE() << describe(lon, lat, sat) << ": was \"" << before << "\", now \""
                                  << now << '"';
                }
            }
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(cases, 161LL * 119 * 361);
    // The grid reaches both sides of the old limit.
    EXPECT_GT(shownBefore, cases / 2);
    EXPECT_LT(shownBefore, cases);
    std::printf("%lld cases, %lld shown before\n", cases, shownBefore);
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
    PointingInputs in;
    in.longitudeText = formatDouble(lon);
    in.latitudeText = formatDouble(lat);
    in.satelliteText = "E" + formatDouble(sat) + "(x)";
    in.feed = v.feed;
    in.mounting = v.mounting;
    in.antennaOffset = v.antennaOffset;
    in.declinationCorrection = v.declination;
    PointingResult r = staleResult();
    DiagramPlanner planner;
    const PointingOutcome outcome = runPointing(in, "", r, &planner);

    d.add(r.azimuthText);
    d.add(r.elevationText);
    d.add(r.polarisationText);
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
