// Sun outages: the days around the equinoxes on which the sun passes so close behind a
// geostationary satellite, seen from a site, that its noise drowns the signal; and the dish
// figures that say how close is too close.
#pragma once

#include "common/Text.h"
#include "pointing/sun/SunDates.h"

#include <string>
#include <vector>

namespace zorvast::pointing::sun {

enum class Band { C, Ku };

// Downlink frequencies the beamwidth is worked out for, Hz.
inline constexpr double kBandCFrequency = 4.0e9;
inline constexpr double kBandKuFrequency = 12.0e9;
inline constexpr double kSpeedOfLight = 299792458.0;
// Apparent radius of the sun, degrees, added to half the beamwidth.
inline constexpr double kSunRadius = 0.25;

// 3 dB beamwidth in degrees: 70 * wavelength / diameter.
double beamwidth(double diameterMetres, Band band);

// The separation at which the outage begins and ends: half the beamwidth plus the sun's radius.
double outageAngle(double beamwidthDegrees);

struct OutageDay {
    LocalDate date;            // Beijing date
    int startMinute = 0;       // first whole minute (Beijing time) at or below the outage angle
    int peakMinute = 0;        // minute of least separation
    int endMinute = 0;         // last whole minute at or below the outage angle
    double peakSeparation = 0; // degrees
    friend bool operator==(const OutageDay&, const OutageDay&) = default;
};

// Every Beijing date of `year` on which, with the sun above the horizon, the separation
// between the sun and the satellite falls to `outageAngleDegrees` or below at a whole minute,
// in date order. Empty when the satellite is below the horizon, the angle is not a positive
// number or the year is outside the accepted years.
std::vector<OutageDay> outageForecast(double siteLongitude, double siteLatitude,
                                      double satelliteLongitude, double outageAngleDegrees,
                                      int year);

// The year whose forecast a table opens on: this year while this year's last outage day is
// still to come (or today), else the next year.
int nextSeasonYear(double siteLongitude, double siteLatitude, double satelliteLongitude,
                   double outageAngleDegrees, LocalDate today);

// The dish line over a forecast: "波束宽度 1.75°，日凌角 1.12°" (two decimals).
std::string dishFiguresText(double beamwidthDegrees, double outageAngleDegrees);

// Minutes from start to end (end minus start), the way published tables count them.
int outageMinutes(const OutageDay& day);

// The table as text: a header line (日期, 开始, 最强, 结束, 时长) and one line per day, columns
// separated by tabs, lines ending in CR LF; the duration is "N分钟", or "不到1分钟" when the
// outage starts and ends in the same minute; one line "（无日凌）" after the header when there
// are no days.
std::string outageTableText(const std::vector<OutageDay>& days);

// The same table as the bytes of a saved file (GBK, CR LF).
common::Gbk outageTableFile(const std::vector<OutageDay>& days);

} // namespace zorvast::pointing::sun
