#include "pointing/DeclinationGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace zorvast::pointing {
namespace {

std::string cellCode(int latitude, int longitude) {
    const std::size_t k = static_cast<std::size_t>((latitude - 1) * 81 + (longitude - 69));
    return std::string(declinationGridText().substr(3 * k - 3, 3));
}

double cellDegrees(int latitude, int longitude) {
    const double v = std::stoi(cellCode(latitude, longitude)) / 10.0;
    return v > 50 ? -(v - 50) : v;
}

TEST(DeclinationGrid, LayoutAndCodes) {
    const std::string_view grid = declinationGridText();
    ASSERT_EQ(grid.size(), 14580u);
    for (std::size_t i = 0; i < grid.size(); i += 3) {
        const std::string code(grid.substr(i, 3));
        ASSERT_EQ(code.find_first_not_of("0123456789"), std::string::npos) << i;
        const int n = std::stoi(code);
        EXPECT_TRUE((n >= 0 && n <= 162) || (n >= 501 && n <= 652)) << code << " at " << i;
    }
}

TEST(DeclinationGrid, ReferenceCells) {
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
    for (const auto& row : rows) {
        for (int i = 0; i < 9; ++i) {
            EXPECT_NEAR(cellDegrees(row.latitude, longitudes[i]), row.values[i], 1e-9)
                << row.latitude << " N " << longitudes[i] << " E";
        }
    }
    const struct {
        int latitude, longitude;
        double value;
    } further[] = {{40, 116, -6.4}, {31, 121, -5.3}, {23, 113, -2.4}, {44, 87, 3.0}};
    for (const auto& cell : further) {
        EXPECT_NEAR(cellDegrees(cell.latitude, cell.longitude), cell.value, 1e-9)
            << cell.latitude << " N " << cell.longitude << " E";
    }
}

TEST(DeclinationGrid, Latitude40AsStored) {
    const int longitudes[] = {70, 80, 90, 100, 110, 120, 130, 140, 150};
    const char* codes[] = {"045", "033", "014", "513", "545", "574", "590", "585", "562"};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(cellCode(40, longitudes[i]), codes[i]) << longitudes[i];
    }
}

TEST(DeclinationGrid, NeighboursDifferLittle) {
    // A field map is smooth: a big jump between neighbours means a misplaced cell.
    for (int lat = 1; lat <= 60; ++lat) {
        for (int lon = 70; lon <= 150; ++lon) {
            if (lon < 150) {
                EXPECT_LE(std::fabs(cellDegrees(lat, lon) - cellDegrees(lat, lon + 1)), 1.0)
                    << lat << " " << lon;
            }
            if (lat < 60) {
                EXPECT_LE(std::fabs(cellDegrees(lat, lon) - cellDegrees(lat + 1, lon)), 1.0)
                    << lat << " " << lon;
            }
        }
    }
}

} // namespace
} // namespace zorvast::pointing
