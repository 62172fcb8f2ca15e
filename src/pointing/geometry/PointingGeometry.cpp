#include "pointing/geometry/PointingGeometry.h"

#include "common/Numbers.h"
#include "pointing/DeclinationGrid.h"

#include <algorithm>
#include <cmath>

namespace zorvast::pointing {

using common::decimalRound;
using common::formatDouble;

double toRadians(double degrees) {
    return degrees * kPiApprox / 180;
}

double toDegrees(double radians) {
    return radians / kPiApprox * 180;
}

double satelliteLongitudeOf(std::string_view satelliteText) {
    const std::size_t bracket = satelliteText.find('(');
    if (bracket == std::string_view::npos || bracket == 0) {
        return 0;
    }
    return common::parseLeadingNumber(satelliteText.substr(1, bracket - 1));
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

std::string azimuthLabelText(double siteLongitude, double siteLatitude, double satelliteLongitude) {
    // Above the limit the satellite stands 83.7 to 90 degrees west of south; when it is in view
    // its bearing (263.7 to 270) is as good as any other and the installer needs it.
    if (common::greaterThan(azimuthRatio(siteLongitude, siteLatitude, satelliteLongitude),
                            kAzimuthRatioLimit) &&
        elevationLabelText(siteLongitude, siteLatitude, satelliteLongitude) == kNotVisible) {
        return std::string(kNotVisible);
    }
    return formatDouble(azimuth(siteLongitude, siteLatitude, satelliteLongitude));
}

std::string elevationLabelText(double siteLongitude, double siteLatitude,
                               double satelliteLongitude) {
    std::string text = formatDouble(elevation(siteLongitude, siteLatitude, satelliteLongitude));
    const double shown = common::parseLeadingNumber(text);
    if (common::lessThan(shown, 0) || common::greaterThan(shown, 90)) {
        return std::string(kNotVisible);
    }
    return text;
}

std::string polarisationLabelText(double siteLongitude, double siteLatitude,
                                  double satelliteLongitude) {
    return formatDouble(polarisation(siteLongitude, siteLatitude, satelliteLongitude));
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

SiteError checkSite(double siteLongitude, double siteLatitude) {
    if (common::lessThan(siteLongitude, 70) || common::greaterThan(siteLongitude, 150)) {
        return SiteError::Longitude;
    }
    if (common::lessThan(siteLatitude, 1) || common::greaterThan(siteLatitude, 60)) {
        return SiteError::Latitude;
    }
    return SiteError::None;
}

std::string_view siteErrorText(SiteError error) {
    switch (error) {
    case SiteError::Longitude:
        return "请检查经度是否填写错误。\r\n（只能填写70到150度之间亚洲区的经度）";
    case SiteError::Latitude:
        return "请检查纬度是否填写错误。\r\n（只能填写1到60度之间亚洲区的纬度）";
    case SiteError::None:
        break;
    }
    return {};
}

} // namespace zorvast::pointing
