// The coarse coverage model: six longitude/latitude boxes, one two-digit strength in dBW per
// box and band, read from a satellite's `s_c` and `s_ku` texts.
#pragma once

#include "pointing/geometry/Positions.h"

#include <array>
#include <optional>
#include <string_view>

namespace zorvast::pointing {

struct SignalReading {
    int cStrength = -1; // dBW; -1 when the site is in no box
    int kuStrength = -1;

    bool known() const { return cStrength >= 0; }
    friend bool operator==(const SignalReading&, const SignalReading&) = default;
};

// The box (1..6) the site lies strictly inside, or nothing (box edges belong to no box).
std::optional<int> coverageRegionOf(double siteLongitude, double siteLatitude);

// The region's field of a strength text: characters 2r-1..2r, the last two for region 6.
int regionStrength(std::string_view strengths, int region);

// A satellite's strengths per region (index 0 is region 1), as read from its texts.
struct CoverageStrengths {
    std::array<int, 6> c{};
    std::array<int, 6> ku{};
    friend bool operator==(const CoverageStrengths&, const CoverageStrengths&) = default;
};
CoverageStrengths readCoverage(std::string_view sC, std::string_view sKu);

SignalReading readSignal(const Site& site, const CoverageStrengths& strengths);

enum class Band { C, Ku };
enum class StrengthClass { None, Weak, Medium, Strong };

// None for strengths of 0 and below.
StrengthClass strengthClass(Band band, int strength);

} // namespace zorvast::pointing
