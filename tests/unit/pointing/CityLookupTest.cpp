#include "pointing/places/CityLookup.h"

#include "JetWriter.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace zorvast::pointing {
namespace {

using testing::TempFolder;

std::string cityDatabase(const TempFolder& temp) {
    using jetwriter::ColumnType;
    jetwriter::Table city{"city",
                          {{"sta", ColumnType::Text, 2},
                           {"name", ColumnType::Text, 22},
                           {"lo", ColumnType::Integer, 0},
                           {"la", ColumnType::Integer, 0}},
                          {}};
    const struct {
        const char* sta;
        const char* name;
        int lo, la;
    } rows[] = {{"京", "北京", 11646, 3992}, {"京", "平谷", 11711, 4014},
                {"湘", "长沙", 11300, 2821}, {"湘", "双名", 11100, 2700},
                {"湘", "双名", 11200, 2800}, {"津", "北京", 1, 2},
                {"津", "O'Hare", 3, 4}};
    for (const auto& r : rows) {
        city.rows.push_back(
            {std::string(r.sta), std::string(r.name), std::int64_t{r.lo}, std::int64_t{r.la}});
    }
    const std::string path = temp.file("city.dat");
    jetwriter::writeDatabaseFile(path, {city});
    return path;
}

TEST(CityLookup, Coordinates) {
    TempFolder temp;
    const std::string db = cityDatabase(temp);
    const struct {
        const char* sta;
        const char* name;
        bool found;
        int lo, la;
    } cases[] = {
        {"京", "北京", true, 11646, 3992},
        {"津", "北京", true, 1, 2},
        {"湘", "双名", true, 11100, 2700}, // the first of a name stored twice
        {"京", "长沙", false, 0, 0},
        {"京", "x' or 'a'='a", false, 0, 0}, // a quote cannot widen the filter
        {"津", "O'Hare", true, 3, 4},        // nor keep a name that holds one from matching
    };
    for (const auto& c : cases) {
        const auto point = cityCoordinates(db, c.sta, c.name);
        ASSERT_EQ(point.has_value(), c.found) << c.name;
        if (point) {
            EXPECT_EQ(point->lo, c.lo) << c.name;
            EXPECT_EQ(point->la, c.la) << c.name;
        }
    }
    EXPECT_FALSE(cityCoordinates(temp.file("missing.dat"), "京", "北京"));
}

TEST(CityLookup, NamesOfAProvinceInStoredOrder) {
    TempFolder temp;
    const std::string db = cityDatabase(temp);
    EXPECT_EQ(cityNames(db, "湘"), (std::vector<std::string>{"长沙", "双名", "双名"}));
    EXPECT_TRUE(cityNames(db, "川").empty());
}

TEST(CityLookup, CoordinateTexts) {
    const struct {
        int hundredths;
        const char* text;
    } cases[] = {{11646, "116.46"}, {3920, "39.2"}, {11300, "113"}, {9111, "91.11"}, {0, "0"}};
    for (const auto& c : cases) {
        EXPECT_EQ(coordinateText(c.hundredths), c.text);
    }
}

} // namespace
} // namespace zorvast::pointing
