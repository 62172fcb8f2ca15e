#include "update/package/PackageDownload.h"

#include "common/platform/Platform.h"
#include "update/Messages.h"
#include "update/package/DataApply.h"
#include "update/package/SoftwareApply.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <system_error>

namespace zorvast::update {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::size_t kBlockSize = 10240;

// The transfer counts as running from here until the service reports its end.
void startTask(UpdateFlow& flow, const std::string& url) {
    DownloadTask task;
    {
        std::lock_guard lock(flow.taskMutex);
        flow.task.url = url;
        task = flow.task;
    }
    flow.state.transferEnd = TransferEnd::None;
    flow.state.transferRunning = true;
    flow.downloader.start(task);
}

// A partial download of this kind that an earlier transfer left is resumed first: its mirror
// goes to the front of the list.
void preferResumableMirror(UpdateState& state, std::vector<std::string>& mirrors,
                           const fs::path& target) {
    const std::optional<PartialDownload> partial = readPartialDownload(target);
    if (!partial) {
        return;
    }
    const auto found = std::find(mirrors.begin(), mirrors.end(), partial->url);
    if (found == mirrors.end() || found == mirrors.begin()) {
        return;
    }
    std::rotate(mirrors.begin(), found, found + 1);
    state.setMirrorList(mirrors);
}

// True while the tick runs; a tick delivered inside its own processEvents returns at once.
class TickGuard {
public:
    explicit TickGuard(std::atomic<bool>& running) : running_(running) {
        entered_ = !running_.exchange(true);
    }
    ~TickGuard() {
        if (entered_) {
            running_ = false;
        }
    }
    TickGuard(const TickGuard&) = delete;
    TickGuard& operator=(const TickGuard&) = delete;
    bool entered() const { return entered_; }

private:
    std::atomic<bool>& running_;
    bool entered_ = false;
};

void moveBar(UpdateFlow& flow, const TransferProgress& progress, bool complete) {
    const ProgressBar bar = flow.downloadMode ? ProgressBar::Window : ProgressBar::Main;
    if (!flow.downloadMode) {
        flow.view.setDownloadBarVisible(true);
    }
    flow.view.setBarRange(bar, 0, 100);
    flow.view.setBarValue(bar, barPosition(progress, complete, flow.view.barValue(bar)));
}

void dataTransferEnded(UpdateFlow& flow) {
    UpdateState& state = flow.state;
    const fs::path target = packageTarget(flow, PackageKind::Data);
    // Only a finished transfer left a whole package; a broken one stays to be resumed.
    std::shared_ptr<const VerifiedPackage> package;
    if (state.transferEnd == TransferEnd::Finished) {
        package = checkDataPackage(flow);
        // In memory now, or not worth keeping.
        discardDownload(target);
    }
    // The apply installs the package that was checked, held in memory by its worker.
    if (package) {
        state.dataDownloadActive = false;
        if (flow.downloadMode) {
            startUpdateWorker(flow, "first data apply",
                              [&flow, package] { applyFirstDataPackage(flow, *package); });
        } else {
            startUpdateWorker(flow, "data apply",
                              [&flow, package] { applyDataPackage(flow, *package); });
        }
        flow.view.processEvents();
        return;
    }
    if (goToNextMirror(flow)) {
        return;
    }
    if (state.releaseRefused) {
        // The servers answered, but with nothing newer than what is installed.
        showUpdateText(flow, kLabelNoNewerData,
                       statusNoNewerData(flow.dataDate ? flow.dataDate() : std::string()));
    } else {
        showUpdateText(flow, kLabelConnectionFailed, kStatusConnectionFailed);
    }
    if (!flow.downloadMode) {
        flow.view.setDownloadBarVisible(false);
    }
    state.dataDownloadActive = false;
    flow.view.processEvents();
    // The monitor keeps running; the software check stops it.
    startUpdateWorker(flow, "software check", flow.hooks.runSoftwareCheck);
}

} // namespace

fs::path packageTarget(const UpdateFlow& flow, PackageKind kind) {
    const channels::store::StorePaths& paths = flow.store.paths();
    return kind == PackageKind::Data ? paths.dataDownload : paths.softwareDownload;
}

const char* mirrorListPath(PackageKind kind) {
    return kind == PackageKind::Data ? "/du.htm" : "/su.htm";
}

void onTransferEvent(UpdateState& state, TransferEvent event, double value) {
    // The end is recorded before the flag falls: a tick that sees the flag down reads it.
    switch (event) {
    case TransferEvent::SizeKnown:
        state.totalBytes = value;
        return;
    case TransferEvent::Finished:
        state.transferEnd = TransferEnd::Finished;
        break;
    case TransferEvent::Failed:
        state.transferEnd = TransferEnd::Failed;
        break;
    case TransferEvent::Stopped:
        state.transferEnd = TransferEnd::Stopped;
        break;
    }
    state.transferRunning = false;
}

bool startPackageDownload(UpdateFlow& flow, PackageKind kind) {
    UpdateState& state = flow.state;
    const TransferPolicy& policy = flow.transferPolicy;
    flow.downloader.configure(kBlockSize, policy.retryWait, policy.retryCount);
    flow.downloader.setResumeWaits(policy.resumeWaits);
    const fs::path target = packageTarget(flow, kind);
    {
        std::lock_guard lock(flow.taskMutex);
        flow.task.url.clear();
        flow.task.localFile = target;
        flow.task.connectTimeout = policy.connectTimeout;
        flow.task.noDataTimeout = policy.noDataTimeout;
        flow.task.blockSize = kBlockSize;
        flow.task.onEvent = [&state](TransferEvent event, double value) {
            onTransferEvent(state, event, value);
        };
    }
    state.releaseRefused = false;
    // Partial downloads wait there between runs; a folder that is not ours fails the transfer.
    common::platform::preparePrivateFolder(flow.store.paths().downloadFolder);

    std::vector<std::string> mirrors =
        readMirrorList(state, flow.fetch, mirrorListPath(kind), flow.randomDraw);
    preferResumableMirror(state, mirrors, target);
    const std::string url = mirrors.empty() ? std::string() : mirrors.front();

    if (url.empty()) {
        if (kind == PackageKind::Data) {
            showUpdateText(flow, kLabelNoDataMirrorList, kStatusNoMirrorList);
            flow.clock.sleepFor(5000ms);
            state.dataDownloadActive = false;
            startUpdateWorker(flow, "software check", flow.hooks.runSoftwareCheck);
            flow.view.processEvents();
        } else {
            showUpdateText(flow, labelNoProgramMirrorList(), kStatusNoMirrorList);
            flow.view.setTransferMonitorInterval(0);
        }
        return false;
    }

    startTask(flow, url);
    if (kind == PackageKind::Data) {
        state.dataDownloadActive = true;
        flow.view.setTransferMonitorInterval(1000);
    } else {
        state.dataDownloadActive = false;
        state.softwareDownloadActive = true;
        flow.view.setTransferMonitorInterval(1000);
        flow.view.setBarValue(ProgressBar::Main, 0);
        flow.view.setDownloadBarVisible(true);
        showUpdateText(flow, kLabelNewProgramFound, kStatusNewProgramFound);
    }
    return true;
}

int barPosition(const TransferProgress& progress, bool complete, int current) {
    if (complete) {
        return 100;
    }
    if (progress.totalBytes == 0) {
        return std::clamp(current, 0, 99); // no size announced: the bar cannot tell more
    }
    const std::uint64_t bytes = std::min(progress.bytesInFile, progress.totalBytes);
    // 100 only for the whole file; computed in long double so huge sizes cannot overflow.
    const auto percent = static_cast<int>(static_cast<long double>(bytes) * 100.0L /
                                          static_cast<long double>(progress.totalBytes));
    return std::clamp(percent, 0, 100);
}

void transferMonitorTick(UpdateFlow& flow) {
    const TickGuard guard(flow.tickRunning);
    if (!guard.entered()) {
        return;
    }
    UpdateState& state = flow.state;
    const bool running = state.transferRunning;
    moveBar(flow, flow.downloader.progress(),
            !running && state.transferEnd == TransferEnd::Finished);
    if (running) {
        return;
    }
    if (state.dataDownloadActive) {
        dataTransferEnded(flow);
    } else if (state.softwareDownloadActive) {
        softwareTransferEnded(flow);
    }
}

bool goToNextMirror(UpdateFlow& flow) {
    UpdateState& state = flow.state;
    // The partial file stays: the next mirror's transfer starts it again from zero, and when
    // no mirror is left the next run resumes it.
    flow.downloader.stop();
    const int index = state.mirrorIndex;
    if (index >= state.mirrorCount()) {
        return false;
    }
    state.mirrorIndex = index + 1;
    // An empty entry simply fails again at a later tick.
    startTask(flow, state.mirrorAt(index + 1));
    return true;
}

} // namespace zorvast::update
