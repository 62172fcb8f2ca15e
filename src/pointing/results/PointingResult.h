// What a pointing run leaves behind: the three angle label texts, the compass bearing, the
// signed antenna offset and the seven result texts. Texts a run does not reach keep the
// values of an earlier run.
#pragma once

#include <string>

namespace zorvast::pointing {

enum class FeedType { PrimeFocus, Offset };
enum class Mounting { Upright, Inverted };

struct PointingResult {
    std::string azimuthText;
    std::string elevationText;
    std::string polarisationText;
    float compassBearing = 0;
    int signedOffset = 0; // hundredths of a degree, negative for an inverted offset dish

    std::string southSide;        // "南偏西", "南偏东" or "正南"
    std::string southOffset;      // degrees between the bearing and due south
    std::string watchHour;        // "12点整", "3点半"...
    std::string droopAngle;       // offset dishes only
    std::string lnbDirection;     // which way to turn the feed
    std::string lnbReferencePart; // the part of the feed that direction refers to
    std::string compassText;      // the compass bearing

    bool azimuthVisible() const;
    bool elevationVisible() const;
    friend bool operator==(const PointingResult&, const PointingResult&) = default;
};

} // namespace zorvast::pointing
