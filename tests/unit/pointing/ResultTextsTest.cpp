#include "pointing/results/ResultTexts.h"

#include "common/Numbers.h"

#include "support/ResultLabels.h"

#include <gtest/gtest.h>

#include <string>

namespace zorvast::pointing {
namespace {

TEST(ResultTexts, SouthAndWatchTexts) {
    const struct {
        double bearing;
        const char* side;
        const char* offset;
        const char* clock;
        const char* watchHour;
    } cases[] = {
        {181.4, "南偏西", "1.4", "12:00", "12点整"},  {216.5, "南偏西", "36.5", "01:12", "1点整"},
        {123.4, "南偏东", "56.6", "10:06", "10点整"}, {175, "南偏东", "5", "11:48", "12点整"},
        {180, "正南", "0", "12:00", "12点整"},        {195, "南偏西", "15", "12:30", "12点半"},
        {189, "南偏西", "9", "12:18", "12点半"}, // m 0.3: hour 0 becomes 12
        {173, "南偏东", "7", "11:48", "12点整"}, // m -0.2 + 12 = 11.8: the hour moves on
        {268, "南偏西", "88", "02:54", "3点整"}, // m 2.9
        {187.8, "南偏西", "7.8", "12:18", "12点半"},  {270, "南偏西", "90", "03:00", "3点整"},
        {90, "南偏东", "90", "09:00", "9点整"},       {93.2, "南偏东", "86.8", "09:06", "9点整"},
        {255, "南偏西", "75", "02:30", "2点半"},      {226.5, "南偏西", "46.5", "01:36", "1点半"},
        {207, "南偏西", "27", "12:54", "1点整"}, // 12 turns into 1
        {180 + 5e-8, "正南", "0", "12:00", "12点整"}, {180 - 5e-8, "正南", "0", "12:00", "12点整"},
        {179.9, "南偏东", "0.1", "12:00", "12点整"},
    };
    for (const auto& c : cases) {
        const std::string bearing = common::formatDouble(c.bearing);
        EXPECT_EQ(southSideOf(c.bearing), c.side) << "bearing " << bearing;
        EXPECT_EQ(southOffsetOf(c.bearing), c.offset) << "bearing " << bearing;
        const WatchTexts watch = watchTextsOf(c.bearing);
        EXPECT_EQ(watch.clock, c.clock) << "bearing " << bearing;
        EXPECT_EQ(watch.watchHour, c.watchHour) << "bearing " << bearing;
    }
}

TEST(ResultTexts, FeedDirection) {
    const struct {
        double polarisation;
        const char* prime;
        const char* offset;
    } cases[] = {
        {0, "左上45°", "右下45°"},       {5, "左上45°", "右下45°"},
        {5.4, "左上45°", "右下45°"},     {5.5, "上方偏左", "下方偏右"},
        {-5, "左上45°", "右下45°"},      {-5.4, "左上45°", "右下45°"},
        {-5.5, "左方偏上", "右方偏下"},  {-6, "左方偏上", "右方偏下"},
        {-1.1, "左上45°", "右下45°"},    {6, "上方偏左", "下方偏右"},
        {39, "上方偏左", "下方偏右"},    {39.4, "上方偏左", "下方偏右"},
        {39.5, "正上方", "正下方"},      {40, "正上方", "正下方"},
        {49, "正上方", "正下方"},        {49.5, "上方偏右", "下方偏左"},
        {50, "上方偏右", "下方偏左"},    {89, "上方偏右", "下方偏左"},
        {-30.6, "左方偏上", "右方偏下"}, {-39, "左方偏上", "右方偏下"},
        {-39.5, "正左方", "正右方"},     {-40, "正左方", "正右方"},
        {-49, "正左方", "正右方"},       {-49.5, "左方偏下", "右方偏上"},
        {-50, "左方偏下", "右方偏上"},   {-83.5, "左方偏下", "右方偏上"},
    };
    for (const auto& c : cases) {
        const std::string p = common::formatDouble(c.polarisation);
        EXPECT_EQ(lnbDirectionOf(c.polarisation, FeedType::PrimeFocus), c.prime)
            << "polarisation " << p << ", prime focus";
        EXPECT_EQ(lnbDirectionOf(c.polarisation, FeedType::Offset), c.offset)
            << "polarisation " << p << ", offset";
    }
    EXPECT_EQ(lnbReferencePartOf(FeedType::PrimeFocus), "电路盒方向");
    EXPECT_EQ(lnbReferencePartOf(FeedType::Offset), "Ｆ头方向");
}

TEST(ResultTexts, DroopAngle) {
    const struct {
        double elevation;
        int signedOffset;
        const char* droop;
    } cases[] = {
        {43.8, 2275, "21.1"}, {43.8, -2275, "66.6"}, {43.8, 2462, "19.2"}, {43.8, -2462, "68.4"},
        {20, 2462, "-4.6"},   {24.62, 2462, "0"},    {47.1, 2500, "22.1"}, {66.5, 0, "66.5"},
        {21.8, 2270, "-0.9"}, {10, 2356, "-13.6"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(common::formatDouble(droopOf(c.elevation, c.signedOffset)), c.droop)
            << "elevation " << common::formatDouble(c.elevation) << ", offset " << c.signedOffset;
    }
}

PointingResult oldResult() {
    PointingResult r;
    r.southSide = "old side";
    r.southOffset = "old offset";
    r.watchHour = "old hour";
    r.droopAngle = "old droop";
    r.lnbDirection = "old direction";
    r.lnbReferencePart = "old part";
    r.compassText = "old compass";
    return r;
}

TEST(ResultTexts, ComposeVisibleSatellite) {
    PointingResult r = oldResult();
    r.azimuth = labelOf("181.4");
    r.elevation = labelOf("43.8");
    r.polarisation = labelOf("-1.1");
    r.compassBearing = 181.4f;
    r.signedOffset = 0;
    EXPECT_EQ(composeResultTexts(r, FeedType::PrimeFocus), "12:00");
    EXPECT_EQ(r.southSide, "南偏西");
    EXPECT_EQ(r.southOffset, "1.4");
    EXPECT_EQ(r.watchHour, "12点整");
    EXPECT_EQ(r.compassText, "181.4");
    EXPECT_EQ(r.lnbDirection, "左上45°");
    EXPECT_EQ(r.lnbReferencePart, "电路盒方向");
    EXPECT_EQ(r.droopAngle, "old droop"); // prime focus: no droop angle
}

TEST(ResultTexts, ComposeOffsetFeed) {
    const struct {
        int signedOffset;
        const char* droop;
    } cases[] = {{2275, "21.1"}, {-2275, "66.6"}};
    for (const auto& c : cases) {
        PointingResult r = oldResult();
        r.azimuth = labelOf("216.5");
        r.elevation = labelOf("43.8");
        r.polarisation = labelOf("-30.6");
        r.compassBearing = 216.5f;
        r.signedOffset = c.signedOffset;
        EXPECT_EQ(composeResultTexts(r, FeedType::Offset), "01:12") << c.signedOffset;
        EXPECT_EQ(r.droopAngle, c.droop) << c.signedOffset;
        EXPECT_EQ(r.lnbDirection, "右方偏下") << c.signedOffset;
        EXPECT_EQ(r.lnbReferencePart, "Ｆ头方向") << c.signedOffset;
        EXPECT_EQ(r.southSide, "南偏西") << c.signedOffset;
        EXPECT_EQ(r.southOffset, "36.5") << c.signedOffset;
        EXPECT_EQ(r.watchHour, "1点整") << c.signedOffset;
        EXPECT_EQ(r.compassText, "216.5") << c.signedOffset;
    }
}

TEST(ResultTexts, ComposeUsesTheCompassBearing) {
    // With the declination correction the south texts follow the compass, not the label.
    PointingResult r = oldResult();
    r.azimuth = labelOf("181.4");
    r.elevation = labelOf("43.8");
    r.polarisation = labelOf("-1.1");
    r.compassBearing = 181.4f + 6.4f;
    EXPECT_EQ(composeResultTexts(r, FeedType::PrimeFocus), "12:18");
    EXPECT_EQ(r.compassText, "187.8");
    EXPECT_EQ(r.southSide, "南偏西");
    EXPECT_EQ(r.southOffset, "7.8");
    EXPECT_EQ(r.watchHour, "12点半");
}

TEST(ResultTexts, ComposeKeepsTextsItDoesNotReach) {
    const struct {
        const char* azimuth;
        const char* elevation;
        FeedType feed;
        bool bearingTexts;
        bool droop;
    } cases[] = {
        {"- -", "32.5", FeedType::PrimeFocus, false, false},
        {"- -", "32.5", FeedType::Offset, false, true},
        {"- -", "- -", FeedType::Offset, false, false},
        {"93.2", "- -", FeedType::Offset, true, false},
        {"93.2", "- -", FeedType::PrimeFocus, true, false},
        {"181.4", "43.8", FeedType::Offset, true, true},
    };
    for (const auto& c : cases) {
        PointingResult r = oldResult();
        r.azimuth = labelOf(c.azimuth);
        r.elevation = labelOf(c.elevation);
        r.polarisation = labelOf("-83.5");
        r.compassBearing = static_cast<float>(common::parseLeadingNumber(c.azimuth));
        r.signedOffset = 2275;
        const std::string clock = composeResultTexts(r, c.feed);
        const std::string label = std::string(c.azimuth) + " / " + c.elevation +
                                  (c.feed == FeedType::Offset ? " offset" : " prime focus");
        EXPECT_EQ(clock.empty(), !c.bearingTexts) << label << ": clock \"" << clock << '"';
        EXPECT_EQ(r.southSide == "old side", !c.bearingTexts) << label << ": " << r.southSide;
        EXPECT_EQ(r.southOffset == "old offset", !c.bearingTexts) << label << ": " << r.southOffset;
        EXPECT_EQ(r.watchHour == "old hour", !c.bearingTexts) << label << ": " << r.watchHour;
        EXPECT_EQ(r.compassText == "old compass", !c.bearingTexts)
            << label << ": " << r.compassText;
        EXPECT_EQ(r.droopAngle == "old droop", !c.droop) << label << ": " << r.droopAngle;
        // The feed texts are refreshed every time.
        EXPECT_EQ(r.lnbDirection, c.feed == FeedType::Offset ? "右方偏上" : "左方偏下") << label;
        EXPECT_EQ(r.lnbReferencePart, c.feed == FeedType::Offset ? "Ｆ头方向" : "电路盒方向")
            << label;
    }
}

TEST(ResultTexts, Visibility) {
    const struct {
        const char* azimuth;
        const char* elevation;
        bool azimuthVisible, elevationVisible;
    } cases[] = {
        {"181.4", "- -", true, false},
        {"- -", "0", false, true},
        {"- -", "- -", false, false},
        {"", "", true, true},
    };
    for (const auto& c : cases) {
        PointingResult r;
        r.azimuth = labelOf(c.azimuth);
        r.elevation = labelOf(c.elevation);
        EXPECT_EQ(r.azimuthVisible(), c.azimuthVisible) << '"' << c.azimuth << '"';
        EXPECT_EQ(r.elevationVisible(), c.elevationVisible) << '"' << c.elevation << '"';
    }
}

} // namespace
} // namespace zorvast::pointing
