#include "update/package/SoftwareApply.h"

#include "common/ProgramVersion.h"
#include "update/Messages.h"
#include "update/package/PackageDownload.h"
#include "update/package/PackageManifest.h"
#include "update/package/VerifiedPackage.h"

namespace zorvast::update {

namespace {

using namespace std::chrono_literals;

// A database access takes seconds; one that never ends must not freeze the window for good.
constexpr int kDatabaseWaits = 60;

} // namespace

void softwareTransferEnded(UpdateFlow& flow) {
    UpdateState& state = flow.state;
    const std::filesystem::path& download = flow.store.paths().softwareDownload;
    // Only the size is kept: the package is not held in memory while the user decides. Only a
    // finished transfer left a whole package; a broken one stays to be resumed.
    std::optional<std::uint64_t> programBytes;
    if (state.transferEnd == TransferEnd::Finished) {
        if (const std::optional<VerifiedPackage> package =
                readVerifiedPackage(download, flow.packageKey, flow.packageSizeLimit)) {
            // Signed as a program, as the version announced, and newer than this one.
            if (checkRelease(*package, PackageKind::Software, state.announcedProgramVersion(),
                             Version(common::programVersion())) == ReleaseFault::None) {
                programBytes = newProgramBytes(*package);
            } else {
                state.releaseRefused = true;
            }
        }
        if (!programBytes) {
            discardDownload(download);
        }
    }
    if (programBytes) {
        state.softwareDownloadActive = false;
        flow.view.setTransferMonitorInterval(0);
        applySoftwarePackage(flow, *programBytes);
        return;
    }
    if (goToNextMirror(flow)) {
        return;
    }
    state.softwareDownloadActive = false;
    if (state.releaseRefused) {
        showUpdateText(flow, kLabelNoNewerProgram, kStatusNoNewerProgram);
        if (!flow.downloadMode) {
            flow.view.setDownloadBarVisible(false);
        }
    } else if (flow.downloadMode) {
        flow.view.setDownloadLabel(kLabelProgramListFailed);
        flow.clock.sleepFor(6000ms);
        flow.view.setDownloadLabel(kLabelRetryLater);
    } else {
        flow.view.setDownloadBarVisible(false);
        flow.view.setStatusText(kStatusProgramListFailed);
    }
    flow.view.setTransferMonitorInterval(0);
}

void applySoftwarePackage(UpdateFlow& flow, std::uint64_t programBytes) {
    for (int i = 0; i < kDatabaseWaits && flow.hooks.databaseInUse && flow.hooks.databaseInUse();
         ++i) {
        flow.clock.sleepFor(1000ms);
    }
    if (programBytes > kMinimumProgramBytes &&
        flow.view.askOkCancel(kCaptionNewProgramReady, kTextInstallNewProgramNow)) {
        // A hand-over that fails keeps the program running, as after Cancel.
        if (flow.hooks.handOverToReplaceHelper && flow.hooks.handOverToReplaceHelper()) {
            flow.view.endProgram();
            return;
        }
    }
    showUpdateText(flow, kLabelNewProgramLater, kStatusNewProgramLater);
    if (!flow.downloadMode) {
        flow.view.setDownloadBarVisible(false);
    }
}

} // namespace zorvast::update
