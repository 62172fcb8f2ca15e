#include "pointing/sun/SunOutage.h"

#include "pointing/sun/SunPosition.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <numbers>
#include <optional>

namespace zorvast::pointing::sun {

namespace {

// The sun's declination changes by at most this much per day (degrees).
constexpr double kDeclinationRate = 0.41;
// Days are screened on the sun's declination at every second node (eight days apart).
constexpr int kScreenNodes = 2;
// Coarse scan of a day before the minute refinement, minutes. The separation over one day
// has a single minimum, so the minute of least separation lies within one step of the
// coarse minimum.
constexpr int kCoarseStep = 10;

struct Sample {
    double separation = std::numeric_limits<double>::quiet_NaN();
    double sunElevation = 0;
};

// The minutes of one Beijing day, worked out on demand and kept.
class Day {
public:
    Day(SunPath& path, const Vector& satellite, double midnight)
        : path_(path), satellite_(satellite), midnight_(midnight) {}

    const Sample& at(int minute) {
        Sample& s = samples_[static_cast<std::size_t>(minute)];
        if (std::isnan(s.separation)) {
            const Vector sun = path_.sunVector(midnight_ + 60.0 * minute);
            s.separation = angleBetween(sun, satellite_);
            const Vector& up = path_.site().up;
            s.sunElevation =
                std::asin(std::clamp(sun.x * up.x + sun.y * up.y + sun.z * up.z, -1.0, 1.0)) *
                180.0 / std::numbers::pi;
        }
        return s;
    }

private:
    SunPath& path_;
    Vector satellite_;
    double midnight_;
    std::array<Sample, kMinutesPerDay> samples_{};
};

std::optional<OutageDay> scanDay(SunPath& path, const Vector& satellite, LocalDate date,
                                 double angle) {
    Day day(path, satellite, beijingMidnight(date));
    int coarse = 0;
    for (int m = 0; m < kMinutesPerDay; m += kCoarseStep) {
        if (day.at(m).separation < day.at(coarse).separation) {
            coarse = m;
        }
    }
    if (day.at(kMinutesPerDay - 1).separation < day.at(coarse).separation) {
        coarse = kMinutesPerDay - 1;
    }
    int peak = coarse;
    for (int m = std::max(0, coarse - kCoarseStep);
         m <= std::min(kMinutesPerDay - 1, coarse + kCoarseStep); ++m) {
        if (day.at(m).separation < day.at(peak).separation) {
            peak = m;
        }
    }
    if (day.at(peak).separation > angle) {
        return std::nullopt;
    }
    int start = peak;
    while (start > 0 && day.at(start - 1).separation <= angle) {
        --start;
    }
    int end = peak;
    while (end < kMinutesPerDay - 1 && day.at(end + 1).separation <= angle) {
        ++end;
    }
    // Only minutes with the sun above the horizon count.
    std::optional<OutageDay> found;
    for (int m = start; m <= end; ++m) {
        const Sample& s = day.at(m);
        if (s.sunElevation < 0) {
            continue;
        }
        if (!found) {
            found = OutageDay{date, m, m, m, s.separation};
        }
        found->endMinute = m;
        if (s.separation < found->peakSeparation) {
            found->peakMinute = m;
            found->peakSeparation = s.separation;
        }
    }
    return found;
}

} // namespace

double beamwidth(double diameterMetres, Band band) {
    const double frequency = band == Band::C ? kBandCFrequency : kBandKuFrequency;
    return 70.0 * (kSpeedOfLight / frequency) / diameterMetres;
}

double outageAngle(double beamwidthDegrees) {
    return beamwidthDegrees / 2.0 + kSunRadius;
}

std::vector<OutageDay> outageForecast(double siteLongitude, double siteLatitude,
                                      double satelliteLongitude, double outageAngleDegrees,
                                      int year) {
    std::vector<OutageDay> days;
    if (!validYear(year) || !std::isfinite(outageAngleDegrees) || !(outageAngleDegrees > 0) ||
        !std::isfinite(siteLongitude) || !std::isfinite(siteLatitude) ||
        !std::isfinite(satelliteLongitude)) {
        return days;
    }
    SunPath path(siteLongitude, siteLatitude);
    const Vector satellite = satelliteVector(path.site(), satelliteLongitude);
    if (directionOf(path.site(), satellite).elevation < 0) {
        return days;
    }
    // The separation is never less than the difference in declination, so only days whose
    // declination comes within the outage angle of the satellite's need a closer look. Between
    // two screening nodes the declination strays from the nearer one by at most half the gap
    // times its greatest rate.
    const double satelliteDeclination =
        std::asin(std::clamp(satellite.z, -1.0, 1.0)) * 180.0 / std::numbers::pi;
    const double stray = 0.5 * kScreenNodes * SunPath::kNodeDays * kDeclinationRate;
    const double low = satelliteDeclination - outageAngleDegrees - 0.02; // 0.02: parallax
    const double high = satelliteDeclination + outageAngleDegrees + 0.02;
    const long long first = daysFromCivil({year, 1, 1});
    const long long last = daysFromCivil({year, 12, 31});
    std::vector<bool> candidate(static_cast<std::size_t>(last - first + 1), false);
    std::int64_t node = SunPath::nodeOf(first);
    node -= ((node % kScreenNodes) + kScreenNodes) % kScreenNodes;
    for (double before = path.nodeDeclination(node); SunPath::dayOfNode(node) <= last;
         node += kScreenNodes) {
        const double after = path.nodeDeclination(node + kScreenNodes);
        if (std::max(before, after) + stray >= low && std::min(before, after) - stray <= high) {
            const long long from = std::max(first, SunPath::dayOfNode(node));
            const long long to = std::min(last, SunPath::dayOfNode(node + kScreenNodes) - 1);
            for (long long d = from; d <= to; ++d) {
                candidate[static_cast<std::size_t>(d - first)] = true;
            }
        }
        before = after;
    }
    for (long long d = first; d <= last; ++d) {
        if (!candidate[static_cast<std::size_t>(d - first)]) {
            continue;
        }
        if (std::optional<OutageDay> day =
                scanDay(path, satellite, civilFromDays(d), outageAngleDegrees)) {
            days.push_back(*day);
        }
    }
    return days;
}

int nextSeasonYear(double siteLongitude, double siteLatitude, double satelliteLongitude,
                   double outageAngleDegrees, LocalDate today) {
    const std::vector<OutageDay> days = outageForecast(
        siteLongitude, siteLatitude, satelliteLongitude, outageAngleDegrees, today.year);
    if (days.empty() || days.back().date >= today || today.year >= kLastYear) {
        return today.year;
    }
    return today.year + 1;
}

int outageMinutes(const OutageDay& day) {
    return day.endMinute - day.startMinute;
}

std::string outageTableText(const std::vector<OutageDay>& days) {
    std::string text = "日期\t开始\t最强\t结束\t时长\r\n";
    if (days.empty()) {
        return text + "（无日凌）\r\n";
    }
    for (const OutageDay& day : days) {
        text += dateText(day.date) + "\t" + minuteText(day.startMinute) + "\t" +
                minuteText(day.peakMinute) + "\t" + minuteText(day.endMinute) + "\t" +
                (outageMinutes(day) > 0 ? std::to_string(outageMinutes(day)) + "分钟"
                                        : std::string("不到1分钟")) +
                "\r\n";
    }
    return text;
}

std::string dishFiguresText(double beamwidthDegrees, double outageAngleDegrees) {
    char text[96];
    std::snprintf(text, sizeof text, "波束宽度 %.2f°，日凌角 %.2f°", beamwidthDegrees,
                  outageAngleDegrees);
    return text;
}

common::Gbk outageTableFile(const std::vector<OutageDay>& days) {
    return common::toGbk(outageTableText(days));
}

} // namespace zorvast::pointing::sun
