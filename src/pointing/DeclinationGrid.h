#pragma once

#include <cstddef>
#include <string_view>

namespace zorvast::pointing {

// 60 latitudes (1..60 N) by 81 longitudes (70..150 E), latitude-major, three digits a cell:
// n/10 up to 50 is an east declination, above 50 a west one of n/10 - 50 degrees.
inline constexpr std::size_t kDeclinationGridLength = 60 * 81 * 3;

std::string_view declinationGridText();

} // namespace zorvast::pointing
