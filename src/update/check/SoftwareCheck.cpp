#include "update/check/UpdateFlow.h"
#include "update/package/PackageDownload.h"

#include <chrono>

namespace zorvast::update {

using namespace std::chrono_literals;

namespace {

constexpr const char* kNoAnswerVersionText = "§Ver：1.02 ";
constexpr const char* kCurrentVersionText = "§版本 1.02  ";

} // namespace

void runSoftwareCheck(UpdateFlow& flow) {
    flow.downloader.stop();
    flow.clock.sleepFor(2000ms);
    const std::string answer = flow.fetch(flow.state.serverBase() + "/sv.htm");
    if (!isValidSoftwareVersionAnswer(answer)) {
        flow.view.setVersionText(kNoAnswerVersionText);
        flow.view.setTransferMonitorInterval(0);
        flow.view.setDownloadBarVisible(false);
    } else if (isNewer(parseVersion(answer), parseVersion(kProgramVersionText))) {
        // Without a mirror the check ends here: no deferred reload follows.
        if (!startPackageDownload(flow, PackageKind::Software)) {
            return;
        }
    } else {
        flow.view.setVersionText(kCurrentVersionText);
        flow.view.setDownloadBarVisible(false);
        flow.view.setTransferMonitorInterval(0);
    }
    scheduleDeferredReload(flow);
}

} // namespace zorvast::update
