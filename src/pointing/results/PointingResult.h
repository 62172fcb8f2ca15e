// What a pointing run leaves behind: the three angles of the result labels, the compass bearing,
// the signed antenna offset and the seven result texts. Texts a run does not reach keep the
// values of an earlier run.
#pragma once

#include <string>

namespace zorvast::pointing {

enum class FeedType { PrimeFocus, Offset };
enum class Mounting { Upright, Inverted };

// What one result label holds: nothing before the first run, an angle, or the mark of a
// satellite that cannot be seen ("- -").
class ResultAngle {
public:
    ResultAngle() = default;
    static ResultAngle of(double degrees) { return ResultAngle(State::Value, degrees); }
    static ResultAngle notVisible() { return ResultAngle(State::NotVisible, 0); }

    // Only the "- -" mark hides a label; an empty one counts as shown.
    bool visible() const { return state_ != State::NotVisible; }
    // The angle, 0 for an empty label and for "- -".
    double value() const { return state_ == State::Value ? value_ : 0; }
    // The label's text: "" , the angle in the "%.13g" form, or "- -".
    std::string text() const;

    friend bool operator==(const ResultAngle&, const ResultAngle&) = default;

private:
    enum class State { Empty, Value, NotVisible };
    ResultAngle(State state, double value) : state_(state), value_(value) {}

    State state_ = State::Empty;
    double value_ = 0;
};

struct PointingResult {
    ResultAngle azimuth; // degrees from north through east
    ResultAngle elevation;
    ResultAngle polarisation;
    float compassBearing = 0;
    int signedOffset = 0; // hundredths of a degree, negative for an inverted offset dish
    double droop = 0;     // the number droopAngle shows

    std::string southSide;        // "南偏西", "南偏东" or "正南"
    std::string southOffset;      // degrees between the bearing and due south
    std::string watchHour;        // "12点整", "3点半"...
    std::string droopAngle;       // offset dishes only
    std::string lnbDirection;     // which way to turn the feed
    std::string lnbReferencePart; // the part of the feed that direction refers to
    std::string compassText;      // the compass bearing

    bool azimuthVisible() const { return azimuth.visible(); }
    bool elevationVisible() const { return elevation.visible(); }
    friend bool operator==(const PointingResult&, const PointingResult&) = default;
};

} // namespace zorvast::pointing
