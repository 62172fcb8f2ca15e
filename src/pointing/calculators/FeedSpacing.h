// Where a second feed goes on a dish to receive a neighbouring satellite, and its skew.
#pragma once

#include "pointing/geometry/Positions.h"
#include "pointing/results/PointingResult.h"

#include <optional>
#include <string>
#include <string_view>

namespace zorvast::pointing {

inline constexpr double kReferenceDiameter = 150; // cm

struct FeedSpacing {
    std::string horizontalCaption; // "左方：" or "右方："
    int horizontal = 0;            // cm
    std::string verticalCaption;   // "上方：" or "下方："
    int vertical = 0;              // cm
    bool tooClose = false;         // the two feeds cannot both fit
    friend bool operator==(const FeedSpacing&, const FeedSpacing&) = default;
};

// `delta` is the main satellite's position less the second one's, in degrees east.
FeedSpacing feedSpacingFor(double delta, FeedType feed, float diameter);

// The skew to set on the second feed: the polarisation label's formula for that satellite.
double secondFeedPolarisation(double siteLongitude, double siteLatitude, double satelliteLongitude);

// Two satellites at different positions (samePosition() refuses the others).
struct FeedSpacingInputs {
    OrbitalPosition main;
    OrbitalPosition offset;
    FeedType feed = FeedType::PrimeFocus;
    double diameterCm = 0; // of the chosen model
    Site site;
};

struct FeedSpacingResult {
    FeedSpacing spacing;
    double polarisation = 0; // the second feed's skew
};

FeedSpacingResult estimateFeedSpacing(const FeedSpacingInputs& inputs);

} // namespace zorvast::pointing
