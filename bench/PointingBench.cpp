// One pointing calculation as the pointing tab does it, without the diagram: the run and the
// report text, over a rotating set of sites, satellites and dish settings. Prints the time per
// call and whether it stays within 5 us.
#include "pointing/report/PointingReport.h"
#include "pointing/run/PointingRun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace zorvast::pointing;
using Clock = std::chrono::steady_clock;

constexpr double kTargetMicroseconds = 5.0;

struct Site {
    const char* province;
    const char* city;
    const char* longitude;
    const char* latitude;
};

// Capitals in every coverage box, two places outside them and one far east.
constexpr Site kSites[] = {
    {"北京市", "北京", "116.46", "39.92"},
    {"上海市", "上海", "121.48", "31.22"},
    {"广东省", "广州", "113.23", "23.16"},
    {"四川省", "成都", "104.06", "30.67"},
    {"新疆维吾尔自治区", "乌鲁木齐", "87.68", "43.77"},
    {"黑龙江省", "哈尔滨", "126.63", "45.75"},
    {"西藏自治区", "拉萨", "91.11", "29.97"},
    {"云南省", "昆明", "102.73", "25.04"},
    {"", "", "140", "35"},
    {"", "", "75", "40"},
    {"港澳台", "香港", "114.1", "22.2"},
    {"吉林省", "长春", "125.35", "43.88"},
};

struct Satellite {
    const char* text;
    const char* sC;
    const char* sKu;
};

constexpr Satellite kSatellites[] = {
    {"E76.5(亚太7号)", "383838383838", "515151515151"},
    {"E87.5(中星12号)", "000000000000", "000000000000"},
    {"E100.5(亚洲5号)", "393939393939", "000000000048"},
    {"E105.5(亚洲7号)", "383838383838", "000000000000"},
    {"E110.5(中星10号)", "383838383838", "000000000000"},
    {"E115.5(中星6B)", "383838383838", "000000000000"},
    {"E125(中星6D)", "383838383838", "000000000000"},
    {"E134(亚太6C)", "373737373737", "525252525252"},
    {"E166(国际19号)", "000000000000", "000000000000"},
};

// The boxes' texts as the tab holds them, read into typed inputs on every call as the tab does.
struct Call {
    std::string longitude;
    std::string latitude;
    std::string satellite;
    std::string sC;
    std::string sKu;
    PointingInputs inputs;
    ReportInputs report;
    std::string strengthBox;
};

// Sites and satellites advance at different strides so the set covers many pairs; the feed,
// mounting and declination settings rotate with them.
std::vector<Call> makeCalls() {
    constexpr std::size_t siteCount = std::size(kSites);
    constexpr std::size_t satelliteCount = std::size(kSatellites);
    std::vector<Call> calls;
    for (std::size_t i = 0; i < siteCount * satelliteCount; ++i) {
        const Site& site = kSites[i % siteCount];
        const Satellite& sat = kSatellites[(i / siteCount + i) % satelliteCount];
        Call c;
        c.longitude = site.longitude;
        c.latitude = site.latitude;
        c.satellite = sat.text;
        c.sC = sat.sC;
        c.sKu = sat.sKu;
        c.inputs.feed = i % 3 == 0 ? FeedType::Offset : FeedType::PrimeFocus;
        c.inputs.mounting = i % 5 == 0 ? Mounting::Inverted : Mounting::Upright;
        c.inputs.antennaOffset = c.inputs.feed == FeedType::Offset ? 2275 : 0;
        c.inputs.declinationCorrection = i % 2 == 0;
        c.report.province = site.province;
        c.report.city = site.city;
        c.report.satellite = sat.text;
        c.report.antenna = c.inputs.feed == FeedType::Offset ? "中卫[60cm]" : "中卫[150cm]";
        c.report.feed = c.inputs.feed;
        c.report.mounting = c.inputs.mounting;
        c.report.declinationCorrection = c.inputs.declinationCorrection;
        c.strengthBox = i % 4 == 0 ? "" : "45";
        calls.push_back(std::move(c));
    }
    return calls;
}

// Keeps every result alive for the optimiser.
volatile std::size_t sink = 0;

void runCalls(const std::vector<Call>& calls, long count) {
    PointingResult result;
    for (long n = 0; n < count; ++n) {
        const Call& c = calls[static_cast<std::size_t>(n) % calls.size()];
        PointingInputs inputs = c.inputs;
        inputs.site = readSite(c.longitude, c.latitude);
        inputs.satellite = readSatelliteItem(c.satellite);
        inputs.coverage = readCoverage(c.sC, c.sKu);
        const PointingOutcome outcome = runPointing(inputs, readStrength(c.strengthBox), result);
        const std::string report = buildPointingReport(c.report, result);
        sink = sink + report.size() + outcome.clockText.size() +
               static_cast<std::size_t>(outcome.signal.cStrength + 1) +
               static_cast<std::size_t>(result.compassBearing);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    const long calls = argc > 1 ? std::atol(argv[1]) : 200000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
    if (calls <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: bench_pointing [CALLS [ROUNDS]]\n");
        return 2;
    }
    const std::vector<Call> set = makeCalls();
    runCalls(set, calls / 10 + 1); // warm the caches and the allocator

    std::vector<double> perCall;
    for (int round = 0; round < rounds; ++round) {
        const auto start = Clock::now();
        runCalls(set, calls);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        perCall.push_back(seconds * 1e6 / static_cast<double>(calls));
    }
    std::sort(perCall.begin(), perCall.end());
    const double median = perCall[perCall.size() / 2];
    std::printf("inputs: %zu site/satellite/dish combinations, %d rounds (median, fastest %.2f us, "
                "slowest %.2f us)\n",
                set.size(), rounds, perCall.front(), perCall.back());
    std::printf("pointing run: %.2f us per call (%ld calls)\n", median, calls);
    std::printf("target <= %.0f us per call: %s\n", kTargetMicroseconds,
                median <= kTargetMicroseconds ? "met" : "missed");
    return 0;
}
