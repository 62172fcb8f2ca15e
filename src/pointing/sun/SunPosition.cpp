#include "pointing/sun/SunPosition.h"

#include "pointing/sun/SunDates.h"

#include <erfa.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zorvast::pointing::sun {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr double kAstronomicalUnit = 149597870700.0; // metres
constexpr double kUnixEpochJd = 2440587.5;

// ERFA's WGS84 ellipsoid.
constexpr int kWgs84 = 1;

Vector scaled(const Vector& v, double s) {
    return {v.x * s, v.y * s, v.z * s};
}
Vector minus(const Vector& a, const Vector& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double dot(const Vector& a, const Vector& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vector unit(const Vector& v) {
    return scaled(v, 1.0 / std::sqrt(dot(v, v)));
}

double normalisedAzimuth(double degrees) {
    double a = std::fmod(degrees, 360.0);
    if (a < 0) {
        a += 360.0;
    }
    return a >= 360.0 ? 0.0 : a;
}

// A Unix time as a two-part Julian date (whole days, fraction) for ERFA.
void julianDate(double utcSeconds, double& whole, double& fraction) {
    const double days = std::floor(utcSeconds / 86400.0);
    whole = kUnixEpochJd + days;
    fraction = (utcSeconds - days * 86400.0) / 86400.0;
}

// The sun's geocentric apparent position in the celestial intermediate frame, metres: ERFA's
// ICRS-to-CIRS context gives the Earth's heliocentric direction and velocity; the sun's
// natural direction is the reverse, then annual aberration and the bias-precession-nutation
// matrix. The sun deflects no light of its own.
Vector geocentricSun(double utcSeconds) {
    double utc1 = 0;
    double utc2 = 0;
    julianDate(utcSeconds, utc1, utc2);
    double tai1 = 0;
    double tai2 = 0;
    double tt1 = 0;
    double tt2 = 0;
    eraUtctai(utc1, utc2, &tai1, &tai2);
    eraTaitt(tai1, tai2, &tt1, &tt2);
    eraASTROM astrom;
    double eo = 0;
    eraApci13(tt1, tt2, &astrom, &eo); // TT stands in for TDB: 2 ms apart at most
    double natural[3] = {-astrom.eh[0], -astrom.eh[1], -astrom.eh[2]};
    double aberrated[3];
    eraAb(natural, astrom.v, astrom.em, astrom.bm1, aberrated);
    double cirs[3];
    eraRxp(astrom.bpn, aberrated, cirs);
    const double metres = astrom.em * kAstronomicalUnit;
    return {cirs[0] * metres, cirs[1] * metres, cirs[2] * metres};
}

// Earth rotation angle (radians), UT1 = UTC.
double earthRotationAngle(double utcSeconds) {
    double ut1 = 0;
    double ut2 = 0;
    julianDate(utcSeconds, ut1, ut2);
    return eraEra00(ut1, ut2);
}

} // namespace

SiteFrame siteFrameOf(double siteLongitude, double siteLatitude) {
    const double lon = siteLongitude * kDegree;
    const double lat = siteLatitude * kDegree;
    SiteFrame frame;
    double xyz[3] = {0, 0, 0};
    eraGd2gc(kWgs84, lon, lat, 0.0, xyz);
    frame.position = {xyz[0], xyz[1], xyz[2]};
    frame.east = {-std::sin(lon), std::cos(lon), 0.0};
    frame.north = {-std::sin(lat) * std::cos(lon), -std::sin(lat) * std::sin(lon), std::cos(lat)};
    frame.up = {std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)};
    return frame;
}

Vector satelliteVector(const SiteFrame& site, double satelliteLongitude) {
    const double lon = satelliteLongitude * kDegree;
    const Vector satellite{kGeostationaryRadius * std::cos(lon),
                           kGeostationaryRadius * std::sin(lon), 0.0};
    return unit(minus(satellite, site.position));
}

Direction directionOf(const SiteFrame& site, const Vector& v) {
    const double e = dot(v, site.east);
    const double n = dot(v, site.north);
    const double u = dot(v, site.up);
    return {normalisedAzimuth(std::atan2(e, n) / kDegree),
            std::atan2(u, std::hypot(e, n)) / kDegree};
}

double angleBetween(const Vector& a, const Vector& b) {
    const Vector cross{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    return std::atan2(std::sqrt(dot(cross, cross)), dot(a, b)) / kDegree;
}

Direction sunDirection(double siteLongitude, double siteLatitude, double utcSeconds) {
    double utc1 = 0;
    double utc2 = 0;
    julianDate(utcSeconds, utc1, utc2);
    // Pressure 0 turns refraction off; no polar motion, UT1 = UTC.
    eraASTROM astrom;
    double eo = 0;
    eraApco13(utc1, utc2, 0.0, siteLongitude * kDegree, siteLatitude * kDegree, 0.0, 0.0, 0.0, 0.0,
              0.0, 0.0, 0.0, &astrom, &eo);
    double natural[3] = {-astrom.eh[0], -astrom.eh[1], -astrom.eh[2]};
    double aberrated[3];
    eraAb(natural, astrom.v, astrom.em, astrom.bm1, aberrated);
    double cirs[3];
    eraRxp(astrom.bpn, aberrated, cirs);
    double ri = 0;
    double di = 0;
    eraC2s(cirs, &ri, &di);
    double aob = 0;
    double zob = 0;
    double hob = 0;
    double dob = 0;
    double rob = 0;
    eraAtioq(ri, di, &astrom, &aob, &zob, &hob, &dob, &rob);
    return {normalisedAzimuth(aob / kDegree), 90.0 - zob / kDegree};
}

Direction satelliteDirection(double siteLongitude, double siteLatitude, double satelliteLongitude) {
    const SiteFrame site = siteFrameOf(siteLongitude, siteLatitude);
    return directionOf(site, satelliteVector(site, satelliteLongitude));
}

double separation(const Direction& a, const Direction& b) {
    const auto vectorOf = [](const Direction& d) {
        const double az = d.azimuth * kDegree;
        const double el = d.elevation * kDegree;
        return Vector{std::cos(el) * std::sin(az), std::cos(el) * std::cos(az), std::sin(el)};
    };
    return angleBetween(vectorOf(a), vectorOf(b));
}

SunPath::SunPath(double siteLongitude, double siteLatitude)
    : site_(siteFrameOf(siteLongitude, siteLatitude)) {}

std::int64_t SunPath::nodeOf(long long beijingDay) {
    const long long q = beijingDay / kNodeDays;
    return q * kNodeDays > beijingDay ? q - 1 : q; // floor for days before 1970 too
}

long long SunPath::dayOfNode(std::int64_t node) {
    return node * kNodeDays;
}

Vector SunPath::node(std::int64_t index) {
    if (nodes_.empty()) {
        first_ = index;
    }
    if (index < first_) {
        const std::size_t grow = static_cast<std::size_t>(first_ - index);
        nodes_.insert(nodes_.begin(), grow, Vector{});
        known_.insert(known_.begin(), grow, false);
        first_ = index;
    }
    const std::size_t at = static_cast<std::size_t>(index - first_);
    if (at >= nodes_.size()) {
        nodes_.resize(at + 1);
        known_.resize(at + 1, false);
    }
    if (!known_[at]) {
        nodes_[at] =
            geocentricSun(static_cast<double>(dayOfNode(index)) * 86400.0 - kBeijingOffsetSeconds);
        known_[at] = true;
        ++evaluations_;
    }
    return nodes_[at];
}

Vector SunPath::sunVector(double utcSeconds) {
    // Lagrange cubic through the nodes at -1, 0, 1 and 2 node steps from the one at or before
    // the instant.
    constexpr double kStep = kNodeDays * 86400.0;
    const double x = (utcSeconds + kBeijingOffsetSeconds) / kStep;
    const double k = std::floor(x);
    const double u = x - k;
    const std::int64_t n = static_cast<std::int64_t>(k);
    const double w[4] = {-u * (u - 1) * (u - 2) / 6.0, (u + 1) * (u - 1) * (u - 2) / 2.0,
                         -(u + 1) * u * (u - 2) / 2.0, (u + 1) * u * (u - 1) / 6.0};
    Vector celestial;
    for (int i = 0; i < 4; ++i) {
        const Vector p = node(n - 1 + i);
        celestial.x += w[i] * p.x;
        celestial.y += w[i] * p.y;
        celestial.z += w[i] * p.z;
    }
    // Celestial intermediate to Earth-fixed axes: a turn by the Earth rotation angle (polar
    // motion neglected, as for the satellite).
    const double era = earthRotationAngle(utcSeconds);
    const double c0 = std::cos(era);
    const double s0 = std::sin(era);
    const Vector fixed{c0 * celestial.x + s0 * celestial.y, -s0 * celestial.x + c0 * celestial.y,
                       celestial.z};
    return unit(minus(fixed, site_.position));
}

Direction SunPath::sunDirection(double utcSeconds) {
    return directionOf(site_, sunVector(utcSeconds));
}

double SunPath::nodeDeclination(std::int64_t index) {
    const Vector v = node(index);
    return std::atan2(v.z, std::hypot(v.x, v.y)) / kDegree;
}

} // namespace zorvast::pointing::sun
