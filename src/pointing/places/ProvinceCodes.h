// The province list of the pointing tab and the one-character codes that key the city table.
#pragma once

#include <array>
#include <string_view>

namespace zorvast::pointing {

struct ProvinceCode {
    std::string_view listText; // as the province list shows it
    std::string_view sta;      // the city table's code
};

inline constexpr std::array<ProvinceCode, 32> kProvinceCodes = {{
    {"安徽省", "徽"},         {"北京市", "京"},           {"福建省", "福"},
    {"甘肃省", "甘"},         {"港澳台", "台"},           {"广东省", "粤"},
    {"广西壮族自治区", "桂"}, {"贵州省", "贵"},           {"海南省", "海"},
    {"河北省", "冀"},         {"河南省", "豫"},           {"黑龙江省", "黑"},
    {"湖北省", "鄂"},         {"湖南省", "湘"},           {"吉林省", "吉"},
    {"江苏省", "苏"},         {"江西省", "赣"},           {"辽宁省", "辽"},
    {"内蒙古", "蒙"},         {"宁夏回族自治区", "宁"},   {"青海省", "青"},
    {"山东省", "鲁"},         {"山西省", "晋"},           {"陕西省", "陕"},
    {"上海市", "沪"},         {"四川省", "川"},           {"天津市", "津"},
    {"西藏自治区", "藏"},     {"新疆维吾尔自治区", "疆"}, {"云南省", "云"},
    {"浙江省", "浙"},         {"重庆市", "重"},
}};

// Shown until a province is picked: Beijing's places, capital first.
inline constexpr std::array<std::string_view, 10> kInitialCities = {
    "北京", "平谷", "密云", "顺义", "通县", "怀柔", "大兴", "房山", "昌平", "延庆"};

inline constexpr int kDefaultProvinceIndex = 1; // 北京市
inline constexpr int kDefaultCityIndex = 0;     // 北京

} // namespace zorvast::pointing
