// A year's sun-outage forecast, from scratch each time (no state kept between calls), over a
// rotating set of sites, satellites and dishes. Prints the median time per forecast and whether
// it stays under 50 ms.
#include "pointing/sun/SunOutage.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using namespace zorvast::pointing::sun;
using Clock = std::chrono::steady_clock;

constexpr double kTargetMilliseconds = 50.0;

struct Case {
    double longitude;
    double latitude;
    double satellite;
    double diameter;
    Band band;
    int year;
};

constexpr Case kCases[] = {
    {116.46, 39.92, 115.5, 1.5, Band::C, 2025},   {87.68, 43.77, 134.0, 0.6, Band::Ku, 2024},
    {113.23, 23.16, 100.5, 0.45, Band::Ku, 2026}, {126.63, 45.75, 87.5, 3.0, Band::C, 2030},
    {91.11, 29.97, 125.0, 1.8, Band::C, 2024},    {140.0, 5.0, 100.5, 0.6, Band::Ku, 2025},
    {130.0, 55.0, 76.5, 0.9, Band::Ku, 2027},     {102.73, 25.04, 146.0, 2.4, Band::C, 2028},
};

volatile std::size_t sink = 0;

} // namespace

int main(int argc, char* argv[]) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    if (rounds <= 0) {
        std::fprintf(stderr, "usage: bench_sun_outage [ROUNDS]\n");
        return 2;
    }
    std::vector<double> perForecast;
    for (int round = 0; round < rounds; ++round) {
        for (const Case& c : kCases) {
            const double angle = outageAngle(beamwidth(c.diameter, c.band));
            const auto start = Clock::now();
            const std::vector<OutageDay> days =
                outageForecast(c.longitude, c.latitude, c.satellite, angle, c.year);
            perForecast.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            sink = sink + days.size();
        }
    }
    std::sort(perForecast.begin(), perForecast.end());
    const double median = perForecast[perForecast.size() / 2];
    std::printf("sun-outage forecast: %.1f ms per year (median of %zu, slowest %.1f ms), target "
                "< %.0f ms: %s\n",
                median, perForecast.size(), perForecast.back(), kTargetMilliseconds,
                perForecast.back() < kTargetMilliseconds ? "met" : "missed");
    return 0;
}
