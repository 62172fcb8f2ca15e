#include "pointing/coverage/Coverage.h"

#include "common/Numbers.h"

#include <array>

namespace zorvast::pointing {

namespace {

struct CoverageBox {
    double west, east, south, north; // exclusive bounds
};

constexpr std::array<CoverageBox, 6> kCoverageBoxes = {{
    {110, 125, 18, 33},
    {110, 125, 33, 42},
    {105, 135, 42, 54},
    {90, 110, 18, 33},
    {90, 110, 33, 42},
    {73, 90, 27, 50},
}};

bool strictlyInside(double value, double low, double high) {
    return common::greaterThan(value, low) && common::lessThan(value, high);
}

} // namespace

std::optional<int> coverageRegionOf(double siteLongitude, double siteLatitude) {
    for (std::size_t i = 0; i < kCoverageBoxes.size(); ++i) {
        const CoverageBox& box = kCoverageBoxes[i];
        if (strictlyInside(siteLongitude, box.west, box.east) &&
            strictlyInside(siteLatitude, box.south, box.north)) {
            return static_cast<int>(i) + 1;
        }
    }
    return std::nullopt;
}

int regionStrength(std::string_view strengths, int region) {
    std::string_view field;
    if (region == 6) {
        field = strengths.size() > 2 ? strengths.substr(strengths.size() - 2) : strengths;
    } else {
        const std::size_t start = static_cast<std::size_t>(2 * (region - 1));
        if (start < strengths.size()) {
            field = strengths.substr(start, 2);
        }
    }
    // Digits only: a sign would make a covered site look unknown.
    int value = 0;
    for (char c : field) {
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

CoverageStrengths readCoverage(std::string_view sC, std::string_view sKu) {
    CoverageStrengths strengths;
    for (int region = 1; region <= 6; ++region) {
        strengths.c[static_cast<std::size_t>(region - 1)] = regionStrength(sC, region);
        strengths.ku[static_cast<std::size_t>(region - 1)] = regionStrength(sKu, region);
    }
    return strengths;
}

SignalReading readSignal(const Site& site, const CoverageStrengths& strengths) {
    const std::optional<int> region = coverageRegionOf(site.longitude, site.latitude);
    if (!region) {
        return {};
    }
    const auto index = static_cast<std::size_t>(*region - 1);
    return {strengths.c[index], strengths.ku[index]};
}

StrengthClass strengthClass(Band band, int strength) {
    const int strongAbove = band == Band::C ? 41 : 49;
    const int mediumFrom = band == Band::C ? 38 : 46;
    if (strength <= 0) {
        return StrengthClass::None;
    }
    if (strength > strongAbove) {
        return StrengthClass::Strong;
    }
    return strength >= mediumFrom ? StrengthClass::Medium : StrengthClass::Weak;
}

} // namespace zorvast::pointing
