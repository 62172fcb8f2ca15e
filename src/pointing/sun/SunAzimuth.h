// The moments the sun stands at a given azimuth: then the shadow of a vertical pole points
// exactly the opposite way, a bearing that needs no compass.
#pragma once

#include "pointing/sun/SunDates.h"

#include <string>
#include <vector>

namespace zorvast::pointing::sun {

struct Crossing {
    int minute = 0;          // Beijing minute of the day nearest the crossing
    double sunElevation = 0; // degrees, at that minute
    friend bool operator==(const Crossing&, const Crossing&) = default;
};

// Each time on `date` (Beijing) that the sun, above the horizon, crosses the true azimuth
// `azimuthDegrees`, in time order; empty when it never does in daylight (or for an impossible
// date). Near the tropics the sun can cross the same azimuth twice in a day.
std::vector<Crossing> sunAtAzimuth(double siteLongitude, double siteLatitude, double azimuthDegrees,
                                   LocalDate date);

// The crossings as text: a header line (时间, 太阳仰角) and one line per crossing ("12:14" tab
// "72.2度"), lines ending in CR LF; one line "（白天太阳不经过这个方位）" after the header when
// there are none.
std::string crossingTableText(const std::vector<Crossing>& crossings);

// The one sentence that tells an installer what to do at those minutes: the pole's shadow then
// points straight away from the satellite. With no crossing, a sentence saying the shadow
// cannot be used that day.
std::string shadowAimText(const std::vector<Crossing>& crossings);

} // namespace zorvast::pointing::sun
