// Look angles of a geostationary satellite from a site in Asia, and the magnetic declination
// there. Every angle is in degrees; satellite positions are read as degrees east.
#pragma once

#include <string>
#include <string_view>

namespace zorvast::pointing {

// The eleven digits the angle conversions use, not the full-precision value.
inline constexpr double kPiApprox = 3.1415926535;
// Earth radius over geostationary orbit radius.
inline constexpr double kEarthOrbitRatio = 0.1513;
// An azimuth ratio above this (satellite far to the west) blanks the azimuth of a satellite
// below the horizon; one in view keeps its azimuth.
inline constexpr double kAzimuthRatioLimit = 9;

// The text a result label shows for a satellite that cannot be seen.
inline constexpr std::string_view kNotVisible = "- -";

double toRadians(double degrees);
double toDegrees(double radians);

// The position code before the first "(", hemisphere letter dropped: "E115.5(...)" -> 115.5.
// Text without "(" gives 0.
double satelliteLongitudeOf(std::string_view satelliteText);

// tan(site - satellite longitude) / sin(latitude).
double azimuthRatio(double siteLongitude, double siteLatitude, double satelliteLongitude);
// Bearing from north through east, one decimal (180 is due south).
double azimuth(double siteLongitude, double siteLatitude, double satelliteLongitude);
// Elevation above the horizon, one decimal; negative below it.
double elevation(double siteLongitude, double siteLatitude, double satelliteLongitude);
// Feed skew, one decimal: negative for a site east of the satellite.
double polarisation(double siteLongitude, double siteLatitude, double satelliteLongitude);

// The three result label texts. The azimuth is blanked only for a satellite far to the west
// that is also below the horizon, so it is shown whenever the elevation is.
std::string azimuthLabelText(double siteLongitude, double siteLatitude, double satelliteLongitude);
std::string elevationLabelText(double siteLongitude, double siteLatitude,
                               double satelliteLongitude);
std::string polarisationLabelText(double siteLongitude, double siteLatitude,
                                  double satelliteLongitude);

// Declination from the shipped grid, east positive; the site is rounded to whole degrees.
// Outside 1..60 N / 70..150 E the nearest edge cell is used.
float declinationAt(double latitude, double longitude);

// What a magnetic compass reads for a true bearing: the bearing minus the (east-positive)
// declination, kept in single precision.
float compassBearingOf(float trueBearing, float declination);

// The accepted site ranges and the two input messages.
enum class SiteError { None, Longitude, Latitude };
SiteError checkSite(double siteLongitude, double siteLatitude);
inline constexpr std::string_view kInputErrorCaption = "输入错误";
std::string_view siteErrorText(SiteError error);

} // namespace zorvast::pointing
