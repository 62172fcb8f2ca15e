#include "pointing/geometry/PointingGeometry.h"

#include "common/Numbers.h"

#include <gtest/gtest.h>

#include <string>

namespace zorvast::pointing {
namespace {

struct AngleCase {
    double siteLongitude;
    double siteLatitude;
    double satelliteLongitude;
    const char* azimuth;
    const char* elevation;
    const char* polarisation;
};

std::string describe(const AngleCase& c) {
    return common::formatDouble(c.siteLongitude) + " E, " + common::formatDouble(c.siteLatitude) +
           " N, satellite " + common::formatDouble(c.satelliteLongitude);
}

TEST(PointingGeometry, LabelTexts) {
    const AngleCase cases[] = {
        {116.4, 39.9, 115.5, "181.4", "43.8", "-1.1"},
        {121.47, 31.23, 100.5, "216.5", "47.1", "-30.6"},
        {87.6, 43.8, 134, "123.4", "21.8", "37.1"},
        {110, 20, 110, "180", "66.5", "0"},
        {150, 40, 60, "- -", "- -", "-50"},
        {75, 40, 160, "93.2", "- -", "49.9"},
        // Beijing as the city database has it.
        {116.46, 39.92, 115.5, "181.5", "43.8", "-1.1"},
        // Far east of the satellite: the ratio passes 9, but the satellite is in view.
        {150, 5, 100, "265.8", "32.5", "-83.5"},
        {140, 5, 100.5, "264", "44", "-82.2"},
        // The mirror position far to the west keeps its azimuth.
        {100, 5, 150, "94.2", "32.5", "83.5"},
        // On the satellite's meridian: no minus sign on the zero skew.
        {140, 35, 140, "180", "49.3", "0"},
        {110.5, 20, 110.5, "180", "66.5", "0"},
        {70, 1, 70, "180", "88.8", "0"},
    };
    for (const AngleCase& c : cases) {
        EXPECT_EQ(azimuthLabel(c.siteLongitude, c.siteLatitude, c.satelliteLongitude).text(),
                  c.azimuth)
            << describe(c);
        EXPECT_EQ(elevationLabel(c.siteLongitude, c.siteLatitude, c.satelliteLongitude).text(),
                  c.elevation)
            << describe(c);
        EXPECT_EQ(polarisationLabel(c.siteLongitude, c.siteLatitude, c.satelliteLongitude).text(),
                  c.polarisation)
            << describe(c);
    }
}

TEST(PointingGeometry, NumericAngles) {
    const struct {
        double lon, lat, sat;
        double azimuth, elevation, polarisation;
    } cases[] = {
        {116.4, 39.9, 115.5, 181.4, 43.8, -1.1},
        {121.47, 31.23, 100.5, 216.5, 47.1, -30.6},
        {87.6, 43.8, 134, 123.4, 21.8, 37.1},
        {110, 20, 110, 180, 66.5, 0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(azimuth(c.lon, c.lat, c.sat), c.azimuth)
            << c.lon << " E " << c.lat << " N sat " << c.sat;
        EXPECT_DOUBLE_EQ(elevation(c.lon, c.lat, c.sat), c.elevation)
            << c.lon << " E " << c.lat << " N sat " << c.sat;
        EXPECT_DOUBLE_EQ(polarisation(c.lon, c.lat, c.sat), c.polarisation)
            << c.lon << " E " << c.lat << " N sat " << c.sat;
    }
}

TEST(PointingGeometry, AzimuthShownOnBothSidesWhenInView) {
    // East of the satellite the ratio is positive, west negative, same size.
    const double east = azimuthRatio(150, 5, 100);
    const double west = azimuthRatio(100, 5, 150);
    EXPECT_GT(east, kAzimuthRatioLimit);
    EXPECT_LT(west, -kAzimuthRatioLimit);
    EXPECT_NEAR(east, -west, 1e-9);
    EXPECT_EQ(azimuthLabel(150, 5, 100).text(), "265.8");
    EXPECT_EQ(azimuthLabel(100, 5, 150).text(), "94.2");
    EXPECT_DOUBLE_EQ(azimuthRatio(110, 20, 110), 0);
    // Past the limit and below the horizon the azimuth stays blanked; the mirror case on the
    // other side keeps its azimuth as it always did.
    ASSERT_GT(azimuthRatio(150, 40, 60), kAzimuthRatioLimit);
    EXPECT_EQ(elevationLabel(150, 40, 60).text(), kNotVisible);
    EXPECT_EQ(azimuthLabel(150, 40, 60).text(), kNotVisible);
    ASSERT_LT(azimuthRatio(70, 40, 160), -kAzimuthRatioLimit);
    EXPECT_EQ(elevationLabel(70, 40, 160).text(), kNotVisible);
    EXPECT_EQ(azimuthLabel(70, 40, 160).text(), "90");
}

TEST(PointingGeometry, RadianConversionsUseTheShortPi) {
    EXPECT_DOUBLE_EQ(toRadians(180), 3.1415926535);
    EXPECT_DOUBLE_EQ(toDegrees(3.1415926535), 180);
    EXPECT_DOUBLE_EQ(toRadians(90), 3.1415926535 / 2);
}

TEST(PointingGeometry, SatelliteLongitudeOfItemText) {
    const struct {
        const char* text;
        double longitude;
    } cases[] = {
        {"E115.5(x)", 115.5},
        {"E100.5(亚洲2号)", 100.5},
        {"E76.5()", 76.5},
        {"W100.5(x)", 100.5}, // the hemisphere letter is dropped, the position read as east
        {"E134(y)(z)", 134},  // the first bracket ends the position
        {"E115.5", 0},        // no bracket
        {"", 0},
        {"(x)", 0},
        {"E(x)", 0},
        {"Eabc(x)", 0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(readSatelliteItem(c.text).degrees, c.longitude) << '"' << c.text << '"';
    }
}

TEST(PointingGeometry, SiteRangesAreTolerant) {
    const struct {
        double lon, lat;
        SiteError error;
    } cases[] = {
        {70, 30, SiteError::None},
        {150, 30, SiteError::None},
        {70 - 5e-8, 30, SiteError::None},
        {150 + 5e-8, 30, SiteError::None},
        {70 - 2e-7, 30, SiteError::Longitude},
        {150 + 2e-7, 30, SiteError::Longitude},
        {69.9, 30, SiteError::Longitude},
        {150.1, 30, SiteError::Longitude},
        {0, 30, SiteError::Longitude},
        // The latitude is looked at only once the longitude passed.
        {69.9, 0, SiteError::Longitude},
        {200, 99, SiteError::Longitude},
        {116.4, 1, SiteError::None},
        {116.4, 60, SiteError::None},
        {116.4, 1 - 5e-8, SiteError::None},
        {116.4, 60 + 5e-8, SiteError::None},
        {116.4, 1 - 2e-7, SiteError::Latitude},
        {116.4, 60 + 2e-7, SiteError::Latitude},
        {116.4, 0.9, SiteError::Latitude},
        {116.4, 60.1, SiteError::Latitude},
        {116.4, -30, SiteError::Latitude},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(checkSite({c.lon, c.lat}), c.error)
            << common::formatDouble(c.lon) << " E, " << common::formatDouble(c.lat) << " N";
    }
}

TEST(PointingGeometry, SiteErrorTexts) {
    EXPECT_EQ(siteErrorText(SiteError::Longitude),
              "请检查经度是否填写错误。\r\n（只能填写70到150度之间亚洲区的经度）");
    EXPECT_EQ(siteErrorText(SiteError::Latitude),
              "请检查纬度是否填写错误。\r\n（只能填写1到60度之间亚洲区的纬度）");
    EXPECT_TRUE(siteErrorText(SiteError::None).empty());
}

TEST(PointingGeometry, DeclinationSampleCells) {
    const int longitudes[] = {70, 80, 90, 100, 110, 120, 130, 140, 150};
    const struct {
        int latitude;
        double values[9];
    } rows[] = {
        {1, {-4.2, -3.8, -2.2, -0.3, 0.7, 0.8, 1.4, 3.1, 5.2}},
        {10, {-2.1, -2.1, -1.4, -0.5, -0.3, -0.6, -0.3, 1.1, 3.4}},
        {20, {-0.4, -0.7, -0.8, -0.9, -1.6, -2.6, -2.9, -1.7, 0.5}},
        {30, {1.6, 0.9, 0.1, -1.2, -3.0, -4.9, -5.8, -5.1, -2.9}},
        {40, {4.5, 3.3, 1.4, -1.3, -4.5, -7.4, -9.0, -8.5, -6.2}},
        {50, {9.1, 7.1, 3.6, -1.0, -6.1, -10.1, -12.1, -11.6, -9.1}},
        {60, {16.2, 13.4, 7.9, 0.3, -7.3, -12.9, -15.1, -14.3, -11.2}},
    };
    // Single precision, and a west cell is (n/10 - 50) in floats: a few float steps off.
    constexpr double tolerance = 1e-5;
    for (const auto& row : rows) {
        for (int i = 0; i < 9; ++i) {
            EXPECT_NEAR(declinationAt(row.latitude, longitudes[i]), row.values[i], tolerance)
                << row.latitude << " N " << longitudes[i] << " E";
        }
    }
    const struct {
        double latitude, longitude;
        double value;
    } cells[] = {
        {40, 116, -6.4},
        {31, 121, -5.3},
        {23, 113, -2.4},
        {44, 87, 3.0},
        // Sites are rounded half away from zero to whole degrees.
        {39.9, 116.4, -6.4},
        {39.5, 116, -6.4},  // row 40, not 39 (-6.1)
        {39.4, 116, -6.1},  // row 39
        {40, 116.5, -6.6},  // column 117, not 116
        {40, 116.49, -6.4}, // column 116
        {31.23, 121.47, -5.3},
    };
    for (const auto& c : cells) {
        EXPECT_NEAR(declinationAt(c.latitude, c.longitude), c.value, tolerance)
            << c.latitude << " N " << c.longitude << " E";
    }
}

TEST(PointingGeometry, DeclinationClampsToTheGridEdge) {
    const struct {
        double latitude, longitude;
        int edgeLatitude, edgeLongitude;
    } cases[] = {
        {0.2, 116, 1, 116}, {-10, 116, 1, 116}, {75, 116, 60, 116}, {40, 60, 40, 70},
        {40, 160, 40, 150}, {0, 0, 1, 70},      {90, 180, 60, 150}, {0.4, 69.4, 1, 70},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(declinationAt(c.latitude, c.longitude),
                  declinationAt(c.edgeLatitude, c.edgeLongitude))
            << c.latitude << " N " << c.longitude << " E";
    }
    EXPECT_NEAR(declinationAt(0, 0), -4.2, 1e-5);
    EXPECT_NEAR(declinationAt(90, 180), -11.2, 1e-5);
}

TEST(PointingGeometry, CompassSubtractsTheEastPositiveDeclination) {
    const struct {
        float bearing, declination;
        float compass;
        const char* text;
    } cases[] = {
        {181.4f, -6.4f, 181.4f + 6.4f, "187.8"},
        {181.4f, 0.0f, 181.4f, "181.4"},
        {123.4f, 3.0f, 120.4f, "120.4"},
        {180.0f, -5.3f, 185.3f, "185.3"},
    };
    for (const auto& c : cases) {
        const float compass = compassBearingOf(c.bearing, c.declination);
        EXPECT_FLOAT_EQ(compass, c.compass) << c.bearing << " with declination " << c.declination;
        EXPECT_EQ(common::formatSingle(compass), c.text)
            << c.bearing << " with declination " << c.declination;
    }
    // The Beijing case with the grid's own cell.
    const float beijing = compassBearingOf(181.4f, declinationAt(39.9, 116.4));
    EXPECT_NEAR(beijing, 187.8f, 1e-4);
    EXPECT_EQ(common::formatSingle(beijing), "187.8");
}

} // namespace
} // namespace zorvast::pointing

namespace zorvast::pointing {
namespace {

// The coordinate boxes and options read from their leading number, as they always were; what
// a box cannot give is refused by the range check with the box's own message.
TEST(SiteReading, BoxTextsToNumbers) {
    const struct {
        const char* lon;
        const char* lat;
        double longitude;
        double latitude;
        SiteError error;
    } cases[] = {
        {"116.4", "39.9", 116.4, 39.9, SiteError::None},
        {" \t116.4", "+39.9", 116.4, 39.9, SiteError::None},
        {"116.4abc", "39.9 N", 116.4, 39.9, SiteError::None},
        {"1.164e2", "3.99E1", 116.4, 39.9, SiteError::None},
        {"", "39.9", 0, 39.9, SiteError::Longitude},
        {"abc", "39.9", 0, 39.9, SiteError::Longitude},
        {"E116.4", "39.9", 0, 39.9, SiteError::Longitude},
        // Full-width digits are not digits here.
        {"１１６.４", "39.9", 0, 39.9, SiteError::Longitude},
        {"116.4", "", 116.4, 0, SiteError::Latitude},
        {"116.4", "３９.９", 116.4, 0, SiteError::Latitude},
        {"69.9", "39.9", 69.9, 39.9, SiteError::Longitude},
        {"150.00000005", "60.00000005", 150.00000005, 60.00000005, SiteError::None},
        {"116.4", "60.5", 116.4, 60.5, SiteError::Latitude},
        {"-116.4", "39.9", -116.4, 39.9, SiteError::Longitude},
    };
    for (const auto& c : cases) {
        const Site site = readSite(c.lon, c.lat);
        EXPECT_DOUBLE_EQ(site.longitude, c.longitude) << '"' << c.lon << '"';
        EXPECT_DOUBLE_EQ(site.latitude, c.latitude) << '"' << c.lat << '"';
        EXPECT_EQ(checkSite(site), c.error) << '"' << c.lon << "\" \"" << c.lat << '"';
    }
    EXPECT_EQ(siteErrorText(SiteError::Longitude), kLongitudeErrorText);
    EXPECT_EQ(siteErrorText(SiteError::Latitude), kLatitudeErrorText);
    EXPECT_TRUE(siteErrorText(SiteError::None).empty());
}

TEST(SiteReading, PositionsWithTheirHemisphere) {
    const struct {
        const char* text;
        double degrees;
        Hemisphere hemisphere;
        double east;
    } items[] = {
        {"E115.5(中星6B)", 115.5, Hemisphere::East, 115.5},
        {"W30(Hispasat)", 30, Hemisphere::West, -30},
        {"E115.5", 0, Hemisphere::East, 0}, // no bracket: nowhere
        {"(x)", 0, Hemisphere::East, 0},
        {"", 0, Hemisphere::East, 0},
        {"Eabc(x)", 0, Hemisphere::East, 0},
        {"E１１５(x)", 0, Hemisphere::East, 0},
        {"X100.5(x)", 100.5, Hemisphere::East, 100.5}, // any other letter reads as east
    };
    for (const auto& c : items) {
        const OrbitalPosition position = readSatelliteItem(c.text);
        EXPECT_DOUBLE_EQ(position.degrees, c.degrees) << '"' << c.text << '"';
        EXPECT_EQ(position.hemisphere, c.hemisphere) << '"' << c.text << '"';
        EXPECT_DOUBLE_EQ(position.east(), c.east) << '"' << c.text << '"';
    }
    EXPECT_EQ(readPositionCode("E125"), (OrbitalPosition{125, Hemisphere::East}));
    EXPECT_EQ(readPositionCode("W125.0"), (OrbitalPosition{125, Hemisphere::West}));
    EXPECT_EQ(readPositionCode(""), (OrbitalPosition{0, Hemisphere::East}));
    EXPECT_EQ(positionCodeOf("E115.5(中星6B)"), "E115.5");
    EXPECT_EQ(positionCodeOf("E125"), "E125");
    // The same position is the same digits as written, whatever the letter.
    EXPECT_TRUE(samePosition("E125(中星6D)", "E125"));
    EXPECT_TRUE(samePosition("W125(x)", "E125"));
    EXPECT_FALSE(samePosition("E125(x)", "E125.0"));
    EXPECT_FALSE(samePosition("E115.5(x)", "E125"));
}

// The angles a run computes are the numbers their labels show.
TEST(SiteReading, ResultLabelsShowTheirAngles) {
    EXPECT_EQ(ResultAngle().text(), "");
    EXPECT_TRUE(ResultAngle().visible());
    EXPECT_EQ(ResultAngle::notVisible().text(), "- -");
    EXPECT_FALSE(ResultAngle::notVisible().visible());
    EXPECT_EQ(ResultAngle::notVisible().value(), 0);
    EXPECT_EQ(ResultAngle::of(-0.0).text(), "0");
    EXPECT_EQ(ResultAngle::of(181.4).text(), "181.4");
    for (int tenths = -900; tenths <= 3600; ++tenths) {
        const ResultAngle angle = ResultAngle::of(tenths / 10.0);
        EXPECT_EQ(common::parseLeadingNumber(angle.text()), angle.value()) << angle.text();
    }
}

} // namespace
} // namespace zorvast::pointing
