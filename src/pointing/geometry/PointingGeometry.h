// Look angles of a geostationary satellite from a site in Asia, and the magnetic declination
// there. Every angle is in degrees; satellite positions are read as degrees east.
#pragma once

#include "pointing/Messages.h"
#include "pointing/geometry/Positions.h"
#include "pointing/results/PointingResult.h"

#include <string_view>

namespace zorvast::pointing {

// The eleven digits the angle conversions use, not the full-precision value.
inline constexpr double kPiApprox = 3.1415926535;
// Earth radius over geostationary orbit radius.
inline constexpr double kEarthOrbitRatio = 0.1513;
// An azimuth ratio above this (satellite far to the west) blanks the azimuth of a satellite
// below the horizon; one in view keeps its azimuth.
inline constexpr double kAzimuthRatioLimit = 9;

double toRadians(double degrees);
double toDegrees(double radians);

// tan(site - satellite longitude) / sin(latitude).
double azimuthRatio(double siteLongitude, double siteLatitude, double satelliteLongitude);
// Bearing from north through east, one decimal (180 is due south).
double azimuth(double siteLongitude, double siteLatitude, double satelliteLongitude);
// Elevation above the horizon, one decimal; negative below it.
double elevation(double siteLongitude, double siteLatitude, double satelliteLongitude);
// Feed skew, one decimal: negative for a site east of the satellite.
double polarisation(double siteLongitude, double siteLatitude, double satelliteLongitude);

// The three result labels. The azimuth is hidden only for a satellite far to the west that is
// also below the horizon, so it is shown whenever the elevation is.
ResultAngle azimuthLabel(double siteLongitude, double siteLatitude, double satelliteLongitude);
ResultAngle elevationLabel(double siteLongitude, double siteLatitude, double satelliteLongitude);
ResultAngle polarisationLabel(double siteLongitude, double siteLatitude, double satelliteLongitude);

// Declination from the shipped grid, east positive; the site is rounded to whole degrees.
// Outside 1..60 N / 70..150 E the nearest edge cell is used.
float declinationAt(double latitude, double longitude);

// What a magnetic compass reads for a true bearing: the bearing minus the (east-positive)
// declination, kept in single precision.
float compassBearingOf(float trueBearing, float declination);

// The accepted site ranges and the two input messages.
enum class SiteError { None, Longitude, Latitude };
SiteError checkSite(const Site& site);
std::string_view siteErrorText(SiteError error);

} // namespace zorvast::pointing
