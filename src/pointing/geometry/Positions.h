// The places the pointing tools work with, as numbers: a site on the ground and a satellite's
// orbital position. The readers turn the texts of the boxes, lists and options into them once,
// where they come in; everything after them computes on the numbers.
#pragma once

#include <string_view>

namespace zorvast::pointing {

// Degrees east and north.
struct Site {
    double longitude = 0;
    double latitude = 0;
    friend bool operator==(const Site&, const Site&) = default;
};

enum class Hemisphere { East, West };

// A geostationary position as a position code writes it: a hemisphere letter and degrees.
struct OrbitalPosition {
    double degrees = 0; // as written, without the letter
    Hemisphere hemisphere = Hemisphere::East;

    // Degrees east with west positions negative (the sun tools). The pointing geometry reads
    // every position as east and uses `degrees`.
    double east() const { return hemisphere == Hemisphere::West ? -degrees : degrees; }
    friend bool operator==(const OrbitalPosition&, const OrbitalPosition&) = default;
};

// The two coordinate boxes (or options), each read from its leading number: "116.4abc" is
// 116.4, an empty or non-numeric text 0.
Site readSite(std::string_view longitudeText, std::string_view latitudeText);

// A satellite list item, code "(" name ")": the code before the first "(", its letter dropped,
// read from its leading number. An item without "(" (or starting with it) is at 0 east.
OrbitalPosition readSatelliteItem(std::string_view itemText);

// A bare position code, "E125": everything after the letter read from its leading number.
OrbitalPosition readPositionCode(std::string_view code);

// The position code of a satellite list item: the text before the first "(", or all of it.
std::string_view positionCodeOf(std::string_view itemText);

// A position code without its hemisphere letter: "E125" -> "125".
std::string_view positionDigits(std::string_view code);

// Whether two list entries name the same position: their digits as written are the same
// ("E115.5(a)" and "W115.5" are, "E115.5" and "E115.50" are not).
bool samePosition(std::string_view mainItemText, std::string_view offsetCode);

} // namespace zorvast::pointing
