#include "update/check/UpdateFlow.h"
#include "update/package/PackageDownload.h"

#include "common/ProgramVersion.h"

#include <chrono>

namespace zorvast::update {

using namespace std::chrono_literals;

void runSoftwareCheck(UpdateFlow& flow) {
    flow.downloader.stop();
    flow.clock.sleepFor(2000ms);
    const std::string answer = flow.fetch(flow.state.serverBase() + "/sv.htm");
    if (!isValidSoftwareVersionAnswer(answer)) {
        flow.view.setVersionText("§Ver：" + std::string(common::programVersion()) + " ");
        flow.view.setTransferMonitorInterval(0);
        flow.view.setDownloadBarVisible(false);
    } else if (isNewer(parseVersion(answer), parseVersion(common::programVersion()))) {
        // Without a mirror the check ends here: no deferred reload follows.
        if (!startPackageDownload(flow, PackageKind::Software)) {
            return;
        }
    } else {
        flow.view.setVersionText("§版本 " + std::string(common::programVersion()) + "  ");
        flow.view.setDownloadBarVisible(false);
        flow.view.setTransferMonitorInterval(0);
    }
    scheduleDeferredReload(flow);
}

} // namespace zorvast::update
