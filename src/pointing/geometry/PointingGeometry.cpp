#include "pointing/geometry/PointingGeometry.h"

#include "common/Numbers.h"
#include "pointing/DeclinationGrid.h"

#include <algorithm>
#include <cmath>

namespace zorvast::pointing {

using common::decimalRound;

double toRadians(double degrees) {
    return degrees * kPiApprox / 180;
}

double toDegrees(double radians) {
    return radians / kPiApprox * 180;
}

double azimuthRatio(double siteLongitude, double siteLatitude, double satelliteLongitude) {
    const double d = toRadians(siteLongitude - satelliteLongitude);
    return std::tan(d) / std::sin(toRadians(siteLatitude));
}

double azimuth(double siteLongitude, double siteLatitude, double satelliteLongitude) {
    const double r = azimuthRatio(siteLongitude, siteLatitude, satelliteLongitude);
    return decimalRound(toDegrees(std::atan(r)), 1) + 180;
}

double elevation(double siteLongitude, double siteLatitude, double satelliteLongitude) {
    const double d = toRadians(siteLongitude - satelliteLongitude);
    const double w = std::cos(std::fabs(d)) * std::cos(toRadians(siteLatitude));
    return decimalRound(toDegrees(std::atan((w - kEarthOrbitRatio) / std::sqrt(1 - w * w))), 1);
}

double polarisation(double siteLongitude, double siteLatitude, double satelliteLongitude) {
    const double d = toRadians(siteLongitude - satelliteLongitude);
    const double p =
        decimalRound(toDegrees(std::atan(std::sin(d) / std::tan(toRadians(siteLatitude)))), 1);
    return -p;
}

ResultAngle azimuthLabel(double siteLongitude, double siteLatitude, double satelliteLongitude) {
    // Above the limit the satellite stands 83.7 to 90 degrees west of south; when it is in view
    // its bearing (263.7 to 270) is as good as any other and the installer needs it.
    if (common::greaterThan(azimuthRatio(siteLongitude, siteLatitude, satelliteLongitude),
                            kAzimuthRatioLimit) &&
        !elevationLabel(siteLongitude, siteLatitude, satelliteLongitude).visible()) {
        return ResultAngle::notVisible();
    }
    return ResultAngle::of(azimuth(siteLongitude, siteLatitude, satelliteLongitude));
}

ResultAngle elevationLabel(double siteLongitude, double siteLatitude, double satelliteLongitude) {
    const double shown = elevation(siteLongitude, siteLatitude, satelliteLongitude);
    if (common::lessThan(shown, 0) || common::greaterThan(shown, 90)) {
        return ResultAngle::notVisible();
    }
    return ResultAngle::of(shown);
}

ResultAngle polarisationLabel(double siteLongitude, double siteLatitude,
                              double satelliteLongitude) {
    return ResultAngle::of(polarisation(siteLongitude, siteLatitude, satelliteLongitude));
}

float declinationAt(double latitude, double longitude) {
    const long long l = std::clamp(common::truncateToInteger(decimalRound(latitude, 0)), 1LL, 60LL);
    const long long g =
        std::clamp(common::truncateToInteger(decimalRound(longitude, 0)), 70LL, 150LL);
    const std::size_t k = static_cast<std::size_t>((l - 1) * 81 + (g - 69));
    const std::string_view cell = declinationGridText().substr(3 * k - 3, 3);
    const int n = (cell[0] - '0') * 100 + (cell[1] - '0') * 10 + (cell[2] - '0');
    const float v = static_cast<float>(n) / 10.0f;
    return v > 50.0f ? -(v - 50.0f) : v;
}

float compassBearingOf(float trueBearing, float declination) {
    return trueBearing - declination;
}

SiteError checkSite(const Site& site) {
    if (common::lessThan(site.longitude, 70) || common::greaterThan(site.longitude, 150)) {
        return SiteError::Longitude;
    }
    if (common::lessThan(site.latitude, 1) || common::greaterThan(site.latitude, 60)) {
        return SiteError::Latitude;
    }
    return SiteError::None;
}

std::string_view siteErrorText(SiteError error) {
    switch (error) {
    case SiteError::Longitude:
        return kLongitudeErrorText;
    case SiteError::Latitude:
        return kLatitudeErrorText;
    case SiteError::None:
        break;
    }
    return {};
}

} // namespace zorvast::pointing
