#include "update/roles/RestartHelper.h"

#include "common/Files.h"
#include "update/Messages.h"
#include "update/roles/InstanceMarker.h"

#include <chrono>

namespace zorvast::update {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::size_t kShortestPath = 4; // bytes; a path needs more

} // namespace

bool startProgram(const ProgramStarter& starter, const ProgramStart& start) {
    return starter ? starter(start) : startDetached(start).has_value();
}

bool startHelper(const HelperHandOver& handOver, const char* helperName,
                 std::chrono::milliseconds pause) {
    if (handOver.programFile.empty()) {
        return false;
    }
    if (handOver.processEvents) {
        handOver.processEvents();
    }
    if (handOver.clock) {
        handOver.clock->sleepFor(pause);
    }
    // The file that runs now, already installed and ours: only its name tells it its role.
    const ProgramStart start{.program = handOver.programFile,
                             .arguments = {helperName, handOver.programFile.string()},
                             .workingFolder = handOver.programFolder};
    return startProgram(handOver.start, start);
}

bool handOverToRestartHelper(const RestartHandOver& handOver) {
    return startHelper(handOver, kRestartHelperFile, 300ms);
}

std::optional<std::string> handedOverPath(const std::vector<std::string>& arguments) {
    if (arguments.empty() || arguments.front().size() <= kShortestPath) {
        return std::nullopt;
    }
    return arguments.front();
}

bool waitForMarkerRelease(const fs::path& marker, common::Clock& clock,
                          std::chrono::milliseconds limit) {
    const auto deadline = clock.now() + limit;
    for (;;) {
        if (!markerHeld(marker)) {
            return true;
        }
        if (clock.now() >= deadline) {
            return false;
        }
        clock.sleepFor(1000ms);
    }
}

RestartOutcome runRestartHelper(const RestartHelperRole& role) {
    const std::optional<std::string> target = handedOverPath(role.arguments);
    if (!target) {
        if (role.showMessage) {
            role.showMessage(kCaptionError207, kTextRestartHandOverUnreadable);
        }
        if (role.cleanupWorkFiles) {
            role.cleanupWorkFiles();
        }
        return RestartOutcome::HandOverMissing;
    }
    if (!common::fileExists(*target)) {
        return RestartOutcome::TargetMissing;
    }
    if (!role.instanceMarker.empty()) {
        // A program still on its way out: started too early, the new copy would end silently.
        common::Clock& clock = role.clock ? *role.clock : common::systemClock();
        waitForMarkerRelease(role.instanceMarker, clock, role.oldProgramLimit);
    }
    // Under its usual name, in the folder this helper was started in: the program folder.
    const ProgramStart start{.program = *target, .arguments = {*target}};
    return startProgram(role.start, start) ? RestartOutcome::Started : RestartOutcome::StartFailed;
}

} // namespace zorvast::update
