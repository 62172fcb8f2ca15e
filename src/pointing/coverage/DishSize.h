// Dish diameters suggested for a signal strength, from a table of whole strengths 31..66 dBW.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zorvast::pointing {

struct DishSize {
    int threshold = 0;   // cm: the smallest dish that still locks
    int recommended = 0; // cm
    friend bool operator==(const DishSize&, const DishSize&) = default;
};

// Nothing outside 31..66 dBW (a value a hair below 31 passes the range test but has no row).
std::optional<DishSize> dishSizeFor(double strength);

// The two value labels for a strength box text: the sizes, or "---" in both.
struct DishSizeTexts {
    std::string threshold;
    std::string recommended;
};
inline constexpr std::string_view kNoDishSize = "---";
DishSizeTexts dishSizeTextsFor(std::string_view strengthText);

} // namespace zorvast::pointing
