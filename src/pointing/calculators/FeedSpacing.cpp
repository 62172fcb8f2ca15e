#include "pointing/calculators/FeedSpacing.h"

#include "common/Numbers.h"
#include "pointing/geometry/PointingGeometry.h"

#include <cmath>
#include <cstdlib>

namespace zorvast::pointing {

using common::decimalRound;

FeedSpacing feedSpacingFor(double delta, FeedType feed, float diameter) {
    const float scale = static_cast<float>(kReferenceDiameter) / diameter;
    const bool prime = feed == FeedType::PrimeFocus;
    // An offset dish's feeds sit further apart.
    const double spread = prime ? 1.0 : 1.5;
    const int h =
        static_cast<int>(common::truncateToInteger(decimalRound(delta * 1.6 / scale * spread, 0)));
    const int v =
        static_cast<int>(common::truncateToInteger(decimalRound(delta / 3 / scale * spread, 0)));
    FeedSpacing spacing;
    const bool westward = common::lessThan(delta, 0);
    spacing.horizontalCaption = westward ? "左方：" : "右方：";
    // The reflector flips the picture differently for the two dish types.
    spacing.verticalCaption = (westward == prime) ? "下方：" : "上方：";
    spacing.horizontal = westward ? std::abs(h) : h;
    spacing.vertical = westward ? std::abs(v) : v;
    spacing.tooClose = common::lessThan(std::abs(h), prime ? 6 : 4);
    return spacing;
}

double secondFeedPolarisation(double siteLongitude, double siteLatitude,
                              double satelliteLongitude) {
    return polarisation(siteLongitude, siteLatitude, satelliteLongitude);
}

FeedSpacingResult estimateFeedSpacing(const FeedSpacingInputs& in) {
    const double delta = in.main.degrees - in.offset.degrees;
    return {feedSpacingFor(delta, in.feed, static_cast<float>(in.diameterCm)),
            secondFeedPolarisation(in.site.longitude, in.site.latitude, in.offset.degrees)};
}

} // namespace zorvast::pointing
