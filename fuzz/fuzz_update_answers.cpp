// A data server's short answers from hostile bytes: the version answers, the mirror lists
// (split, trimmed, shuffled into the update state) and the server list override.
#include "FuzzSupport.h"

#include "common/Text.h"
#include "update/check/UpdateState.h"
#include "update/check/Version.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

using namespace zorvast;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);

    // Version answers.
    const update::Version version(body);
    fuzz::check(!std::isnan(version.number()), "a version that is not a number");
    fuzz::check(!version.newerThan(version), "a version newer than itself");
    fuzz::check(version.sameAs(version), "a version unlike itself");
    const update::Version local("1.02");
    fuzz::check(!(version.newerThan(local) && local.newerThan(version)),
                "two versions each newer than the other");
    if (update::isValidDataVersionAnswer(body) || update::isValidSoftwareVersionAnswer(body)) {
        fuzz::check(!body.empty() && body.size() <= update::kDataVersionAnswerMax,
                    "a long or empty version answer accepted");
    }

    // Mirror lists.
    const std::vector<std::string> entries = update::splitMirrorList(common::Gbk{body});
    for (const std::string& entry : entries) {
        fuzz::check(fuzz::isValidUtf8(entry), "a mirror entry that is not UTF-8");
    }
    const common::Gbk trimmed = update::trimSpaces(common::Gbk{body});
    fuzz::check(trimmed.size() <= body.size(), "trimming made the text longer");
    fuzz::check(update::trimSpaces(trimmed) == trimmed, "trimming twice trims more");

    // Shuffling with a draw that also goes out of range (it must be ignored, not used).
    std::minstd_rand generator(static_cast<unsigned>(std::hash<std::string>{}(body)));
    const update::RandomDraw draw = [&generator](int count) {
        return std::uniform_int_distribution<int>(0, count + 1)(generator);
    };
    update::UpdateState state;
    const std::vector<std::string> shuffled = update::readMirrorList(
        state, [&body](const std::string&) { return body; }, "/du.htm", draw);
    fuzz::check(state.mirrorIndex == 1, "the mirror index not reset");
    fuzz::check(state.mirrorCount() == static_cast<int>(shuffled.size()),
                "the state holds another list");
    std::vector<std::string> a = entries;
    std::vector<std::string> b = shuffled;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    fuzz::check(a == b, "shuffling changed the entries");
    for (int i = 1; i <= state.mirrorCount(); ++i) {
        fuzz::check(state.mirrorAt(i) == shuffled[static_cast<std::size_t>(i - 1)],
                    "mirrorAt disagrees with the list");
    }
    fuzz::check(state.mirrorAt(0).empty() && state.mirrorAt(state.mirrorCount() + 1).empty(),
                "a mirror outside the list");

    // The server list override.
    for (const std::string& server : update::parseServerList(body)) {
        fuzz::check(!server.empty() && server.find(',') == std::string::npos,
                    "a server entry holds a comma or nothing");
    }
    return 0;
}
