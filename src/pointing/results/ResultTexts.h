// The words an installer uses in the field, derived from a run's numbers: how far from due
// south, where a watch's hour hand points, how far an offset dish droops, which way to turn
// the feed.
#pragma once

#include "pointing/results/PointingResult.h"

#include <string>
#include <string_view>

namespace zorvast::pointing {

std::string southSideOf(double bearing);
std::string southOffsetOf(double bearing);

struct WatchTexts {
    std::string clock;     // "03:24"
    std::string watchHour; // "3点半"
};
// Twelve o'clock toward due south, one hour per 30 degrees.
WatchTexts watchTextsOf(double bearing);

// Elevation label value less the signed offset, one decimal then truncated to one decimal.
double droopOf(double elevation, int signedOffset);

// Where the feed is turned, by the polarisation rounded to whole degrees: the diagonal rest
// position (-5..5), then near (up to 39), straight (up to 49) and far on either side.
enum class LnbSector {
    Diagonal,
    PositiveNear,
    PositiveStraight,
    PositiveFar,
    NegativeNear,
    NegativeStraight,
    NegativeFar
};
LnbSector lnbSectorOf(double polarisation);
std::string lnbDirectionOf(double polarisation, FeedType feed);
std::string_view lnbReferencePartOf(FeedType feed);

// Refreshes the texts whose conditions hold (azimuth and elevation labels already set) and
// returns the clock text, empty when the azimuth is not shown.
std::string composeResultTexts(PointingResult& result, FeedType feed);

} // namespace zorvast::pointing
