// Places from the city database (table `city`: sta, name, lo, la in hundredths of a degree).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvast::pointing {

struct CityPoint {
    int lo = 0; // hundredths of a degree east
    int la = 0; // hundredths of a degree north
};

// The first row of the province with that name, or nothing (no such row, unreadable file).
std::optional<CityPoint> cityCoordinates(const std::filesystem::path& cityDatabase,
                                         std::string_view provinceCode, std::string_view name);

// The names of a province's places in stored order (duplicates kept).
std::vector<std::string> cityNames(const std::filesystem::path& cityDatabase,
                                   std::string_view provinceCode);

// The text a coordinate box receives: hundredths / 100 in the "%.13g" form (11646 -> 116.46,
// 11300 -> 113).
std::string coordinateText(int hundredths);

} // namespace zorvast::pointing
