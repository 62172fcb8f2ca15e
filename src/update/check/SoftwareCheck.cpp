#include "update/Messages.h"
#include "update/check/UpdateFlow.h"
#include "update/package/PackageDownload.h"

#include "common/ProgramVersion.h"

#include <chrono>

namespace zorvast::update {

using namespace std::chrono_literals;

void runSoftwareCheck(UpdateFlow& flow) {
    flow.downloader.stop();
    flow.clock.sleepFor(2000ms);
    std::optional<Version> answer =
        softwareVersionAnswer(flow.fetch(flow.state.serverBase() + "/sv.htm"));
    const std::optional<ReleaseStatement> statement = flow.state.statement();
    // An answer that contradicts the server's signed statement counts as no answer.
    if (answer && statement && !answer->sameAs(Version(statement->programVersion))) {
        answer.reset();
    }
    if (answer) {
        flow.state.setAnnouncedProgramVersion(*answer);
    }
    if (!answer) {
        flow.view.setVersionText(versionFieldUnchecked(common::programVersion()));
        flow.view.setTransferMonitorInterval(0);
        flow.view.setDownloadBarVisible(false);
    } else if (answer->newerThan(Version(common::programVersion()))) {
        // Without a mirror the check ends here: no deferred reload follows.
        if (!startPackageDownload(flow, PackageKind::Software)) {
            noteStaleStatement(flow);
            return;
        }
    } else {
        flow.view.setVersionText(versionFieldCurrent(common::programVersion()));
        flow.view.setDownloadBarVisible(false);
        flow.view.setTransferMonitorInterval(0);
    }
    noteStaleStatement(flow);
    scheduleDeferredReload(flow);
}

} // namespace zorvast::update
