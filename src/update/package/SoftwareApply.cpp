#include "update/package/SoftwareApply.h"

#include "common/ProgramVersion.h"
#include "update/package/PackageDownload.h"
#include "update/package/PackageManifest.h"
#include "update/package/VerifiedPackage.h"

namespace zorvast::update {

namespace {

using namespace std::chrono_literals;

constexpr const char* kQuestionCaption = "新版Zorvast下载完成";
constexpr const char* kQuestionText =
    "软件更新已下载完毕，现在立即更换新版吗？(会自动退出并重新打开本软件)\r\n"
    "选 [取消]，则在下次打开本软件时再自动更新。";
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
                             common::programVersion()) == ReleaseFault::None) {
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
        showUpdateText(flow, "服务器上没有更新的软件版本，请退出稍后再试。",
                       " ◎ 服务器上没有比本软件更新的版本，无需更新。");
        if (!flow.downloadMode) {
            flow.view.setDownloadBarVisible(false);
        }
    } else if (flow.downloadMode) {
        flow.view.setDownloadLabel("读列表错误，更新失败，下次运行自动重试...");
        flow.clock.sleepFor(6000ms);
        flow.view.setDownloadLabel("请退出，稍后再次重试...");
    } else {
        flow.view.setDownloadBarVisible(false);
        flow.view.setStatusText(" ◎ 读远程列表发生错误，更新软件失败，下次运行本软件自动重试...");
    }
    flow.view.setTransferMonitorInterval(0);
}

void applySoftwarePackage(UpdateFlow& flow, std::uint64_t programBytes) {
    for (int i = 0; i < kDatabaseWaits && flow.hooks.databaseInUse && flow.hooks.databaseInUse();
         ++i) {
        flow.clock.sleepFor(1000ms);
    }
    if (programBytes > kMinimumProgramBytes &&
        flow.view.askOkCancel(kQuestionCaption, kQuestionText)) {
        // A hand-over that fails keeps the program running, as after Cancel.
        if (flow.hooks.handOverToReplaceHelper && flow.hooks.handOverToReplaceHelper()) {
            flow.view.endProgram();
            return;
        }
    }
    showUpdateText(flow, "请退出，稍后重新尝试进入。",
                   " ◎ 本软件有新版，增加更多功能，下次打开时记得及时更新。");
    if (!flow.downloadMode) {
        flow.view.setDownloadBarVisible(false);
    }
}

} // namespace zorvast::update
