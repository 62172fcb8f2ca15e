// Dish diameters suggested for a signal strength, from a table of whole strengths 31..66 dBW.
#pragma once

#include "pointing/Messages.h"

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

// The strength box, read from its leading number.
double readStrength(std::string_view strengthText);

// The two value labels: the sizes, or "---" in both.
struct DishSizeTexts {
    std::string threshold;
    std::string recommended;
};
DishSizeTexts dishSizeTexts(const std::optional<DishSize>& size);

} // namespace zorvast::pointing
