// The city database as the build ships it.
#include "pointing/places/CityLookup.h"
#include "pointing/places/ProvinceCodes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zorvast::pointing {
namespace {

const std::filesystem::path kCityDatabase = ZORVAST_BINARY_DIR "/data/city.dat";

class ShippedCities : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(kCityDatabase))
            << kCityDatabase.string() << " is missing: build the data first";
    }
};

// The province list in its order, with each province's place count and its capital (listed
// first) as choosing it in the list brings them up.
struct Province {
    const char* listText;
    std::size_t rows;
    const char* capital;
    int lo, la;
};

constexpr Province kProvinces[] = {
    {"安徽省", 79, "合肥", 11727, 3186},
    {"北京市", 10, "北京", 11646, 3992},
    {"福建省", 68, "福州", 11930, 2608},
    {"甘肃省", 75, "兰州", 10373, 3603},
    {"港澳台", 19, "香港", 11410, 2220},
    {"广东省", 94, "广州", 11323, 2316},
    {"广西壮族自治区", 86, "南宁", 10833, 2284},
    {"贵州省", 81, "贵阳", 10671, 2657},
    {"海南省", 18, "海口", 11035, 2002},
    {"河北省", 147, "石家庄", 11448, 3803},
    {"河南省", 121, "郑州", 11365, 3476},
    {"黑龙江省", 80, "哈尔滨", 12663, 4575},
    {"湖北省", 40, "武汉", 11431, 3052},
    {"湖南省", 97, "长沙", 11300, 2821},
    {"吉林省", 42, "长春", 12535, 4388},
    {"江苏省", 74, "南京", 11878, 3204},
    {"江西省", 86, "南昌", 11589, 2868},
    {"辽宁省", 50, "沈阳", 12338, 4180},
    {"内蒙古", 87, "呼和浩特", 11165, 4082},
    {"宁夏回族自治区", 18, "银川", 10627, 3847},
    {"青海省", 39, "西宁", 10174, 3656},
    {"山东省", 116, "济南", 11700, 3665},
    {"山西省", 103, "太原", 11253, 3786},
    {"陕西省", 96, "西安", 10895, 3427},
    {"上海市", 10, "上海", 12148, 3122},
    {"四川省", 173, "成都", 10406, 3067},
    {"天津市", 6, "天津", 11720, 3913},
    {"西藏自治区", 72, "拉萨", 9111, 2997},
    {"新疆维吾尔自治区", 82, "乌鲁木齐", 8768, 4377},
    {"云南省", 127, "昆明", 10273, 2504},
    {"浙江省", 72, "杭州", 12019, 3026},
    {"重庆市", 12, "重庆", 10654, 2959},
};

TEST_F(ShippedCities, TheProvinceListInItsOrder) {
    ASSERT_EQ(kProvinceCodes.size(), std::size(kProvinces));
    for (std::size_t i = 0; i < kProvinceCodes.size(); ++i) {
        EXPECT_EQ(kProvinceCodes[i].listText, kProvinces[i].listText) << "index " << i;
    }
}

TEST_F(ShippedCities, PlacesOfEveryProvince) {
    ASSERT_EQ(kProvinceCodes.size(), std::size(kProvinces));
    std::size_t total = 0;
    for (std::size_t i = 0; i < kProvinceCodes.size(); ++i) {
        const Province& p = kProvinces[i];
        const std::string_view code = kProvinceCodes[i].sta;
        const std::vector<std::string> names = cityNames(kCityDatabase, code);
        total += names.size();
        EXPECT_EQ(names.size(), p.rows) << p.listText << " (" << code << ")";
        ASSERT_FALSE(names.empty()) << p.listText;
        EXPECT_EQ(names.front(), p.capital) << p.listText << " lists " << names.front() << " first";
        const std::optional<CityPoint> point = cityCoordinates(kCityDatabase, code, p.capital);
        ASSERT_TRUE(point) << p.capital;
        EXPECT_EQ(point->lo, p.lo) << p.capital;
        EXPECT_EQ(point->la, p.la) << p.capital;
    }
    EXPECT_EQ(total, 2280u);
}

TEST_F(ShippedCities, EveryPlaceIsAcceptedByThePointingRanges) {
    for (const ProvinceCode& province : kProvinceCodes) {
        for (const std::string& name : cityNames(kCityDatabase, province.sta)) {
            const std::optional<CityPoint> point =
                cityCoordinates(kCityDatabase, province.sta, name);
            ASSERT_TRUE(point) << province.sta << " " << name;
            EXPECT_TRUE(point->lo >= 7000 && point->lo <= 15000) << province.sta << " " << name;
            EXPECT_TRUE(point->la >= 100 && point->la <= 6000) << province.sta << " " << name;
        }
    }
}

// Before any choice the lists show Beijing: the province, its places as the database lists them,
// and the capital's coordinates.
TEST_F(ShippedCities, TheListsStartOnBeijing) {
    const ProvinceCode& province = kProvinceCodes[kDefaultProvinceIndex];
    EXPECT_EQ(province.listText, "北京市");
    const std::vector<std::string> places = cityNames(kCityDatabase, province.sta);
    EXPECT_EQ(places, std::vector<std::string>(kInitialCities.begin(), kInitialCities.end()));
    const std::string_view city = kInitialCities[kDefaultCityIndex];
    EXPECT_EQ(city, "北京");
    const std::optional<CityPoint> point = cityCoordinates(kCityDatabase, province.sta, city);
    ASSERT_TRUE(point);
    EXPECT_EQ(coordinateText(point->lo), "116.46");
    EXPECT_EQ(coordinateText(point->la), "39.92");
}

TEST_F(ShippedCities, BeijingAndSmallProvinces) {
    const std::vector<std::string> tianjin = cityNames(kCityDatabase, "津");
    EXPECT_EQ(tianjin.size(), 6u);
    EXPECT_EQ(cityNames(kCityDatabase, "川").size(), 173u);

    const std::vector<std::string> beijing = cityNames(kCityDatabase, "京");
    ASSERT_FALSE(beijing.empty());
    EXPECT_EQ(beijing.front(), "北京");
    const std::optional<CityPoint> point = cityCoordinates(kCityDatabase, "京", "北京");
    ASSERT_TRUE(point);
    EXPECT_EQ(point->lo, 11646);
    EXPECT_EQ(point->la, 3992);
    EXPECT_EQ(coordinateText(point->lo), "116.46");
    EXPECT_EQ(coordinateText(point->la), "39.92");

    EXPECT_TRUE(cityNames(kCityDatabase, "X").empty());
    EXPECT_FALSE(cityCoordinates(kCityDatabase, "京", "不存在的地方"));
}

} // namespace
} // namespace zorvast::pointing
