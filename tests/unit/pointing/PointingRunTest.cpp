#include "pointing/run/PointingRun.h"

#include "common/Numbers.h"
#include "pointing/report/PointingReport.h"

#include "support/PointingTexts.h"
#include "support/ResultLabels.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace zorvast::pointing {

// Readable failure output.
inline void PrintTo(const SignalReading& reading, std::ostream* os) {
    *os << "C " << reading.cStrength << ", Ku " << reading.kuStrength;
}

namespace {

// Remembers the steps in order and what each step could see.
class RecordingDiagram : public PointingDiagram {
public:
    std::vector<std::string> steps;
    std::string azimuthAtSprites;
    int signedOffsetAtSprites = 0;
    std::string droopAtElevation;
    std::string clockAtBearing;
    std::string southSideAtBearing;
    std::string lnbAtPolarisation;
    SignalReading signalAtSignal{-2, -2};

    void updateSprites(const DiagramStep& step) override {
        steps.push_back("updateSprites");
        azimuthAtSprites = step.result.azimuth.text();
        signedOffsetAtSprites = step.result.signedOffset;
    }
    void drawElevation(const DiagramStep& step) override {
        steps.push_back("drawElevation");
        droopAtElevation = step.result.droopAngle;
    }
    void drawBearingTexts(const DiagramStep& step) override {
        steps.push_back("drawBearingTexts");
        clockAtBearing = step.clockText;
        southSideAtBearing = step.result.southSide;
    }
    void drawPolarisationTexts(const DiagramStep& step) override {
        steps.push_back("drawPolarisationTexts");
        lnbAtPolarisation = step.result.lnbDirection;
    }
    void drawNoCoverageMarks(const DiagramStep&) override {
        steps.push_back("drawNoCoverageMarks");
    }
    void drawSignal(const DiagramStep& step) override {
        steps.push_back("drawSignal");
        signalAtSignal = step.signal;
    }
};

std::string joined(const std::vector<std::string>& steps) {
    std::string out;
    for (const std::string& s : steps) {
        out += (out.empty() ? "" : ", ") + s;
    }
    return out;
}

constexpr const char* kSC = "383600404142";
constexpr const char* kSKu = "000048515052";

TextInputs inputsAt(const char* lon, const char* lat, const char* satellite) {
    TextInputs in;
    in.longitudeText = lon;
    in.latitudeText = lat;
    in.satelliteText = satellite;
    in.sC = kSC;
    in.sKu = kSKu;
    return in;
}

PointingResult oldResult() {
    PointingResult r;
    r.azimuth = labelOf("old azimuth");
    r.elevation = labelOf("old elevation");
    r.polarisation = labelOf("old polarisation");
    r.compassBearing = 12.5f;
    r.signedOffset = 777;
    r.southSide = "old side";
    r.southOffset = "old offset";
    r.watchHour = "old hour";
    r.droopAngle = "old droop";
    r.lnbDirection = "old direction";
    r.lnbReferencePart = "old part";
    r.compassText = "old compass";
    return r;
}

TEST(PointingRun, DiagramStepsInOrder) {
    const struct {
        const char* lon;
        const char* lat;
        const char* satellite;
        std::vector<std::string> steps;
    } cases[] = {
        {"116.4",
         "39.9",
         "E115.5(x)",
         {"updateSprites", "drawElevation", "drawBearingTexts", "drawPolarisationTexts",
          "drawNoCoverageMarks", "drawSignal"}},
        // Azimuth shown, satellite below the horizon.
        {"75",
         "40",
         "E160(x)",
         {"updateSprites", "drawBearingTexts", "drawPolarisationTexts", "drawNoCoverageMarks",
          "drawSignal"}},
        // Far west of south but in view: both shown.
        {"150",
         "5",
         "E100(x)",
         {"updateSprites", "drawElevation", "drawBearingTexts", "drawPolarisationTexts",
          "drawNoCoverageMarks", "drawSignal"}},
        // Neither.
        {"150",
         "40",
         "E60(x)",
         {"updateSprites", "drawPolarisationTexts", "drawNoCoverageMarks", "drawSignal"}},
    };
    for (const auto& c : cases) {
        RecordingDiagram diagram;
        PointingResult result;
        runPointing(inputsAt(c.lon, c.lat, c.satellite), "", result, &diagram);
        EXPECT_EQ(diagram.steps, c.steps)
            << c.lon << " E " << c.lat << " N " << c.satellite << ": got " << joined(diagram.steps)
            << ", expected " << joined(c.steps);
    }
}

TEST(PointingRun, WhatEachStepSees) {
    TextInputs in = inputsAt("116.4", "39.9", "E115.5(x)");
    in.feed = FeedType::Offset;
    in.mounting = Mounting::Inverted;
    in.antennaOffset = 2275;
    RecordingDiagram diagram;
    PointingResult result = oldResult();
    const TextOutcome outcome = runPointing(in, "", result, &diagram);
    EXPECT_EQ(diagram.azimuthAtSprites, "181.4");
    EXPECT_EQ(diagram.signedOffsetAtSprites, -2275);
    EXPECT_EQ(diagram.droopAtElevation, "66.6");
    EXPECT_EQ(diagram.clockAtBearing, "12:00");
    EXPECT_EQ(diagram.southSideAtBearing, "南偏西");
    EXPECT_EQ(diagram.lnbAtPolarisation, "右下45°");
    EXPECT_EQ(diagram.signalAtSignal, (SignalReading{36, 0}));
    EXPECT_EQ(outcome.clockText, "12:00");
}

TEST(PointingRun, BeijingPrimeFocus) {
    PointingResult result = oldResult();
    const TextOutcome outcome = runPointing(inputsAt("116.4", "39.9", "E115.5(x)"), "", result);
    EXPECT_EQ(outcome.error, SiteError::None);
    EXPECT_DOUBLE_EQ(outcome.siteLongitude, 116.4);
    EXPECT_DOUBLE_EQ(outcome.siteLatitude, 39.9);
    EXPECT_DOUBLE_EQ(outcome.satelliteLongitude, 115.5);
    EXPECT_EQ(result.azimuth.text(), "181.4");
    EXPECT_EQ(result.elevation.text(), "43.8");
    EXPECT_EQ(result.polarisation.text(), "-1.1");
    EXPECT_FLOAT_EQ(result.compassBearing, 181.4f);
    EXPECT_EQ(result.signedOffset, 0);
    EXPECT_EQ(result.southSide, "南偏西");
    EXPECT_EQ(result.southOffset, "1.4");
    EXPECT_EQ(result.watchHour, "12点整");
    EXPECT_EQ(result.compassText, "181.4");
    EXPECT_EQ(result.lnbDirection, "左上45°");
    EXPECT_EQ(result.lnbReferencePart, "电路盒方向");
    EXPECT_EQ(result.droopAngle, "old droop"); // prime focus
    EXPECT_EQ(outcome.clockText, "12:00");
    EXPECT_EQ(outcome.signal, (SignalReading{36, 0}));
    EXPECT_EQ(outcome.strengthText, "36");
    ASSERT_TRUE(outcome.dishSize);
    EXPECT_EQ(outcome.dishSize->threshold, "180");
    EXPECT_EQ(outcome.dishSize->recommended, "240");
}

TEST(PointingRun, DeclinationCorrection) {
    TextInputs in = inputsAt("116.4", "39.9", "E115.5(x)");
    in.declinationCorrection = true;
    PointingResult result;
    const TextOutcome outcome = runPointing(in, "", result);
    // A compass reads true bearing minus the east-positive declination (-6.4 here).
    EXPECT_NEAR(result.compassBearing, 181.4f - (-6.4f), 1e-4);
    EXPECT_EQ(result.compassText, "187.8");
    EXPECT_EQ(result.azimuth.text(), "181.4"); // the label stays true
    EXPECT_EQ(result.southSide, "南偏西");
    EXPECT_EQ(result.southOffset, "7.8");
    EXPECT_EQ(result.watchHour, "12点半");
    EXPECT_EQ(outcome.clockText, "12:18");
}

TEST(PointingRun, InputErrorsChangeNothing) {
    const struct {
        const char* lon;
        const char* lat;
        SiteError error;
    } cases[] = {
        {"69.9", "39.9", SiteError::Longitude},
        {"69.9", "0", SiteError::Longitude}, // the latitude is not looked at
        {"150.1", "39.9", SiteError::Longitude},
        {"", "39.9", SiteError::Longitude},
        {"abc", "39.9", SiteError::Longitude},
        {"200", "", SiteError::Longitude},
        {"116.4", "", SiteError::Latitude},
        {"116.4", "0.9", SiteError::Latitude},
        {"116.4", "60.1", SiteError::Latitude},
        {"116.4", "N39.9", SiteError::Latitude},
    };
    for (const auto& c : cases) {
        RecordingDiagram diagram;
        PointingResult result = oldResult();
        const PointingResult before = result;
        const TextOutcome outcome =
            runPointing(inputsAt(c.lon, c.lat, "E115.5(x)"), "45", result, &diagram);
        const std::string site = std::string("\"") + c.lon + "\" / \"" + c.lat + '"';
        EXPECT_EQ(outcome.error, c.error) << site;
        EXPECT_EQ(result, before) << site;
        EXPECT_FALSE(outcome.strengthText) << site;
        EXPECT_FALSE(outcome.dishSize) << site;
        EXPECT_TRUE(outcome.clockText.empty()) << site;
        EXPECT_TRUE(diagram.steps.empty()) << site << ": " << joined(diagram.steps);
    }
}

TEST(PointingRun, BoxTextsAreReadByTheirLeadingNumber) {
    const struct {
        const char* lon;
        const char* lat;
        SiteError error;
        double siteLongitude, siteLatitude;
    } cases[] = {
        {"116.4abc", "39.9", SiteError::None, 116.4, 39.9},
        {" 116.4", "39.9xyz", SiteError::None, 116.4, 39.9},
        {"70", "1", SiteError::None, 70, 1},
        {"150", "60", SiteError::None, 150, 60},
        {"69.99999995", "0.99999995", SiteError::None, 69.99999995, 0.99999995},
        {"150.00000005", "60.00000005", SiteError::None, 150.00000005, 60.00000005},
        {"1.164e2", "39.9", SiteError::None, 116.4, 39.9},
    };
    for (const auto& c : cases) {
        PointingResult result;
        const TextOutcome outcome = runPointing(inputsAt(c.lon, c.lat, "E115.5(x)"), "", result);
        const std::string site = std::string("\"") + c.lon + "\" / \"" + c.lat + '"';
        EXPECT_EQ(outcome.error, c.error) << site;
        EXPECT_DOUBLE_EQ(outcome.siteLongitude, c.siteLongitude) << site;
        EXPECT_DOUBLE_EQ(outcome.siteLatitude, c.siteLatitude) << site;
    }
    PointingResult result;
    runPointing(inputsAt("116.4abc", "39.9", "E115.5(x)"), "", result);
    EXPECT_EQ(result.azimuth.text(), "181.4");
    EXPECT_EQ(result.elevation.text(), "43.8");
    EXPECT_EQ(result.polarisation.text(), "-1.1");
}

TEST(PointingRun, SatelliteWithoutBracketIsAtZero) {
    PointingResult result;
    const TextOutcome outcome = runPointing(inputsAt("116.4", "39.9", "E115.5"), "", result);
    EXPECT_EQ(outcome.error, SiteError::None);
    EXPECT_DOUBLE_EQ(outcome.satelliteLongitude, 0);
    EXPECT_EQ(result.azimuth.text(), azimuthLabel(116.4, 39.9, 0).text());
}

TEST(PointingRun, TextsNotReachedKeepTheirValues) {
    // Far east of the satellite and below the horizon: both blanked.
    {
        PointingResult result = oldResult();
        TextInputs in = inputsAt("150", "40", "E60(x)");
        in.declinationCorrection = true;
        const TextOutcome outcome = runPointing(in, "", result);
        EXPECT_EQ(result.azimuth.text(), "- -");
        EXPECT_EQ(result.elevation.text(), "- -");
        EXPECT_EQ(result.polarisation.text(), "-50");
        // "- -" reads as 0, then the declination (-6.2 at 40 N 150 E) is taken off.
        EXPECT_EQ(common::formatSingle(result.compassBearing), "6.2");
        EXPECT_EQ(result.southSide, "old side");
        EXPECT_EQ(result.southOffset, "old offset");
        EXPECT_EQ(result.watchHour, "old hour");
        EXPECT_EQ(result.compassText, "old compass");
        EXPECT_EQ(result.droopAngle, "old droop");
        EXPECT_EQ(result.lnbDirection, "左方偏下");
        EXPECT_EQ(result.lnbReferencePart, "电路盒方向");
        EXPECT_TRUE(outcome.clockText.empty());
    }
    // Offset feed below the horizon: the droop angle is kept too.
    {
        PointingResult result = oldResult();
        TextInputs in = inputsAt("150", "40", "E60(x)");
        in.feed = FeedType::Offset;
        in.antennaOffset = 2275;
        runPointing(in, "", result);
        EXPECT_EQ(result.azimuth.text(), "- -");
        EXPECT_EQ(result.elevation.text(), "- -");
        EXPECT_EQ(result.polarisation.text(), "-50");
        EXPECT_EQ(result.signedOffset, 2275);
        EXPECT_EQ(result.droopAngle, "old droop");
        EXPECT_EQ(result.southSide, "old side");
        EXPECT_EQ(result.compassText, "old compass");
        EXPECT_EQ(result.lnbDirection, "右方偏上");
        EXPECT_EQ(result.lnbReferencePart, "Ｆ头方向");
    }
    // Offset feed far east of the satellite but in view: every text is refreshed.
    {
        PointingResult result = oldResult();
        TextInputs in = inputsAt("150", "5", "E100(x)");
        in.feed = FeedType::Offset;
        in.antennaOffset = 2275;
        const TextOutcome outcome = runPointing(in, "", result);
        EXPECT_EQ(result.azimuth.text(), "265.8");
        EXPECT_EQ(result.elevation.text(), "32.5");
        EXPECT_EQ(result.droopAngle, "9.8");
        EXPECT_EQ(result.southSide, "南偏西");
        EXPECT_EQ(result.southOffset, "85.8");
        EXPECT_EQ(result.watchHour, "3点整");
        EXPECT_EQ(result.compassText, "265.8");
        EXPECT_EQ(outcome.clockText, "02:54");
    }
}

TEST(PointingRun, StrengthBoxAndDishSize) {
    const struct {
        const char* lon;
        const char* lat;
        FeedType feed;
        const char* sKu;
        const char* box;
        std::optional<std::string> strengthText;
        std::optional<std::string> threshold; // nothing: no dish-size step
        const char* recommended;
    } cases[] = {
        // Known coverage: the band of the feed goes into the box.
        {"116.4", "39.9", FeedType::PrimeFocus, kSKu, "99", "36", "180", "240"},
        {"116.4", "39.9", FeedType::Offset, kSKu, "99", "0", "---", "---"},
        {"116.4", "39.9", FeedType::Offset, "004800000000", "", "48", "75", "90"},
        {"120", "48", FeedType::Offset, kSKu, "", "48", "75", "90"},
        {"80", "30", FeedType::Offset, kSKu, "", "52", "55", "60"},
        // Known coverage overrides a negative box.
        {"116.4", "39.9", FeedType::PrimeFocus, kSKu, "-3", "36", "180", "240"},
        // Unknown coverage: the box keeps its text and the dish size runs on it.
        {"140", "35", FeedType::PrimeFocus, kSKu, "45", std::nullopt, "75", "90"},
        {"120", "10", FeedType::Offset, kSKu, "46", std::nullopt, "90", "100"},
        {"140", "35", FeedType::PrimeFocus, kSKu, "", std::nullopt, "---", "---"},
        {"140", "35", FeedType::PrimeFocus, kSKu, "abc", std::nullopt, "---", "---"},
        {"140", "35", FeedType::PrimeFocus, kSKu, "0", std::nullopt, "---", "---"},
        {"140", "35", FeedType::PrimeFocus, kSKu, "-3", std::nullopt, std::nullopt, ""},
        {"140", "35", FeedType::PrimeFocus, kSKu, "-0.00000005", std::nullopt, "---", "---"},
    };
    for (const auto& c : cases) {
        TextInputs in = inputsAt(c.lon, c.lat, "E115.5(x)");
        in.feed = c.feed;
        in.antennaOffset = c.feed == FeedType::Offset ? 2275 : 0;
        in.sKu = c.sKu;
        PointingResult result;
        const TextOutcome outcome = runPointing(in, c.box, result);
        const std::string label = std::string(c.lon) + " E " + c.lat + " N " +
                                  (c.feed == FeedType::Offset ? "offset" : "prime focus") +
                                  ", box \"" + c.box + '"';
        EXPECT_EQ(outcome.strengthText, c.strengthText)
            << label << ": got \"" << outcome.strengthText.value_or("(unchanged)") << '"';
        ASSERT_EQ(outcome.dishSize.has_value(), c.threshold.has_value()) << label;
        if (c.threshold) {
            EXPECT_EQ(outcome.dishSize->threshold, *c.threshold) << label;
            EXPECT_EQ(outcome.dishSize->recommended, c.recommended) << label;
        }
    }
}

TEST(PointingRun, UnknownCoverageSignal) {
    PointingResult result;
    const TextOutcome outcome = runPointing(inputsAt("140", "35", "E140(x)"), "45", result);
    EXPECT_EQ(outcome.signal, (SignalReading{-1, -1}));
    EXPECT_FALSE(outcome.signal.known());
    EXPECT_EQ(result.azimuth.text(), "180");
    EXPECT_EQ(result.polarisation.text(), "0");
}

TEST(PointingRun, ReportFromARun) {
    TextInputs in = inputsAt("116.4", "39.9", "E115.5(测试星)");
    in.feed = FeedType::Offset;
    in.mounting = Mounting::Inverted;
    in.antennaOffset = 2275;
    in.declinationCorrection = true;
    PointingResult result;
    runPointing(in, "", result);
    ReportInputs report;
    report.province = "北京市";
    report.city = "北京";
    report.satellite = in.satelliteText;
    report.antenna = "中卫[60cm]";
    report.feed = in.feed;
    report.mounting = in.mounting;
    report.declinationCorrection = true;
    EXPECT_EQ(buildPointingReport(report, result),
              "------☆Zorvast寻星计算☆------\r\n\r\n"
              "地点：北京市，北京\r\n"
              "卫星：E115.5(测试星)\r\n"
              "天线：中卫[60cm]，偏馈（倒装）\r\n"
              "方位角：181.4度，经磁偏修正的指北针指向：187.8度（即 南偏西7.8度），"
              "手表时针指向：12点半\r\n"
              "仰角：43.8度，下垂角：66.6度\r\n"
              "高频头极化角：-1.1度，Ｆ头方向：右下45°\r\n");
}

} // namespace
} // namespace zorvast::pointing
