// Where the sun and a geostationary satellite stand in a site's sky. The sun comes from ERFA
// (apparent place, no refraction); the site sits on the WGS84 ellipsoid at height 0. Angles
// are degrees; azimuths are true, from north through east, 0..360.
#pragma once

#include <cstdint>
#include <vector>

namespace zorvast::pointing::sun {

struct Direction {
    double azimuth = 0;
    double elevation = 0;
};

// Radius of the ideal geostationary orbit, metres.
inline constexpr double kGeostationaryRadius = 42164170.0;

// The sun's apparent topocentric direction at Unix time `utcSeconds` (UT1 taken as UTC).
Direction sunDirection(double siteLongitude, double siteLatitude, double utcSeconds);

// The direction from the site to an ideal geostationary point at `satelliteLongitude` (east
// positive).
Direction satelliteDirection(double siteLongitude, double siteLatitude, double satelliteLongitude);

// The angle between two directions.
double separation(const Direction& a, const Direction& b);

struct Vector {
    double x = 0;
    double y = 0;
    double z = 0;
};

// A site in Earth-fixed axes: its position (metres) and its east, north and up unit vectors.
struct SiteFrame {
    Vector position;
    Vector east;
    Vector north;
    Vector up;
};

SiteFrame siteFrameOf(double siteLongitude, double siteLatitude);

// Unit vector, in Earth-fixed axes, from the site to the geostationary point.
Vector satelliteVector(const SiteFrame& site, double satelliteLongitude);

Direction directionOf(const SiteFrame& site, const Vector& unit);

// Angle in degrees between two unit vectors.
double angleBetween(const Vector& a, const Vector& b);

// The sun seen from one site, for many instants: the expensive part of the apparent place
// (the geocentric position in the celestial intermediate frame) is computed by ERFA at
// Beijing midnights four days apart and interpolated (a cubic through four of them), which
// keeps it within a fraction of an arcsecond; the Earth's rotation and the site are applied
// exactly at each instant.
class SunPath {
public:
    // Days between two nodes.
    static constexpr int kNodeDays = 4;

    SunPath(double siteLongitude, double siteLatitude);

    const SiteFrame& site() const { return site_; }

    // Unit vector, in Earth-fixed axes, from the site to the sun.
    Vector sunVector(double utcSeconds);
    Direction sunDirection(double utcSeconds);

    // The node at or before a Beijing date, and the sun's geocentric declination (degrees)
    // there: nodes are the Beijing midnights of every fourth day from 1970-01-01.
    static std::int64_t nodeOf(long long beijingDay);
    static long long dayOfNode(std::int64_t node);
    double nodeDeclination(std::int64_t node);

    // Number of ERFA evaluations so far (for the benchmark and the tests).
    std::size_t evaluations() const { return evaluations_; }

private:
    Vector node(std::int64_t index);

    SiteFrame site_;
    std::int64_t first_ = 0;    // index of nodes_[0]
    std::vector<Vector> nodes_; // geocentric apparent positions, metres
    std::vector<bool> known_;
    std::size_t evaluations_ = 0;
};

} // namespace zorvast::pointing::sun
