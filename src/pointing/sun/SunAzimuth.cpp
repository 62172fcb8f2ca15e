#include "pointing/sun/SunAzimuth.h"

#include "pointing/sun/SunPosition.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace zorvast::pointing::sun {

namespace {

// `azimuth` minus `target`, wrapped into [-180, 180).
double azimuthOffset(double azimuth, double target) {
    double d = std::fmod(azimuth - target, 360.0);
    if (d < -180.0) {
        d += 360.0;
    } else if (d >= 180.0) {
        d -= 360.0;
    }
    return d;
}

} // namespace

std::vector<Crossing> sunAtAzimuth(double siteLongitude, double siteLatitude, double azimuthDegrees,
                                   LocalDate date) {
    std::vector<Crossing> crossings;
    if (!validDate(date) || !std::isfinite(azimuthDegrees) || !std::isfinite(siteLongitude) ||
        !std::isfinite(siteLatitude)) {
        return crossings;
    }
    SunPath path(siteLongitude, siteLatitude);
    const double midnight = beijingMidnight(date);
    std::array<Direction, kMinutesPerDay> sun;
    for (int m = 0; m < kMinutesPerDay; ++m) {
        sun[static_cast<std::size_t>(m)] = path.sunDirection(midnight + 60.0 * m);
    }
    for (int m = 0; m + 1 < kMinutesPerDay; ++m) {
        const double d0 = azimuthOffset(sun[static_cast<std::size_t>(m)].azimuth, azimuthDegrees);
        const double d1 =
            azimuthOffset(sun[static_cast<std::size_t>(m + 1)].azimuth, azimuthDegrees);
        // A sign change through 0, not through the opposite azimuth (where the offset jumps
        // from +180 to -180).
        const bool through = (d0 < 0 && d1 >= 0) || (d0 > 0 && d1 <= 0);
        if (!through || std::fabs(d0) + std::fabs(d1) >= 180.0) {
            continue;
        }
        const int nearest = std::fabs(d0) <= std::fabs(d1) ? m : m + 1;
        const double elevation = sun[static_cast<std::size_t>(nearest)].elevation;
        if (elevation > 0) {
            crossings.push_back({nearest, elevation});
        }
    }
    return crossings;
}

std::string crossingTableText(const std::vector<Crossing>& crossings) {
    std::string text = "时间\t太阳仰角\r\n";
    if (crossings.empty()) {
        return text + "（白天太阳不经过这个方位）\r\n";
    }
    for (const Crossing& c : crossings) {
        char elevation[32];
        std::snprintf(elevation, sizeof elevation, "%.1f", c.sunElevation);
        text += minuteText(c.minute) + "\t" + elevation + "度\r\n";
    }
    return text;
}

std::string shadowAimText(const std::vector<Crossing>& crossings) {
    if (crossings.empty()) {
        return "这一天白天太阳到不了卫星所在的方位，不能用杆影对星，请换一个日期或改用指南针。";
    }
    std::string times;
    for (std::size_t i = 0; i < crossings.size(); ++i) {
        times += (i == 0 ? "" : "或") + minuteText(crossings[i].minute);
    }
    return "北京时间" + times +
           "这一分钟，竖直立一根杆子，杆影所指的方向正好背离卫星，天线朝影子的反方向对准即可。";
}

} // namespace zorvast::pointing::sun
