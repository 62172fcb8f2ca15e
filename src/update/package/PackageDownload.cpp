#include "update/package/PackageDownload.h"

#include "channels/query/TableExport.h"
#include "common/Numbers.h"
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
constexpr int kRetryCount = 3;
constexpr auto kRetryWait = 5000ms;
constexpr auto kTimeout = 5000ms;
// A file that cannot be removed is not waited for without end: the transfer then refuses to
// overwrite it, and the mirror fails like any other.
constexpr int kRemoveAttempts = 20;

void removeTarget(UpdateFlow& flow, const fs::path& target) {
    std::error_code ec;
    for (int attempt = 0; attempt < kRemoveAttempts && fs::exists(fs::symlink_status(target, ec));
         ++attempt) {
        fs::remove(target, ec);
        flow.clock.sleepFor(300ms);
    }
}

void startTask(UpdateFlow& flow, const std::string& url) {
    DownloadTask task;
    {
        std::lock_guard lock(flow.taskMutex);
        flow.task.url = url;
        task = flow.task;
    }
    flow.downloader.start(task);
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

void moveBar(UpdateFlow& flow, int step) {
    const ProgressBar bar = flow.downloadMode ? ProgressBar::Window : ProgressBar::Main;
    if (!flow.downloadMode) {
        flow.view.setDownloadBarVisible(true);
    }
    flow.view.setBarRange(bar, 0, 100);
    flow.view.setBarValue(bar, advancedBarValue(flow.view.barValue(bar), step));
}

void dataTransferEnded(UpdateFlow& flow) {
    UpdateState& state = flow.state;
    // The apply installs the package that was checked, held in memory by its worker.
    if (std::shared_ptr<const VerifiedPackage> package = checkDataPackage(flow)) {
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
    if (goToNextMirror(flow, PackageKind::Data)) {
        return;
    }
    if (flow.downloadMode) {
        flow.view.setDownloadLabel("连接服务器错误，无法运行软件，请稍后重试");
    } else {
        flow.view.setStatusText(" ◎ 连接服务器错误，已停止下载，下次运行将重试。");
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
    switch (event) {
    case TransferEvent::SizeKnown:
        state.totalBytes = value;
        state.transferRunning = true;
        break;
    case TransferEvent::Finished:
    case TransferEvent::Failed:
    case TransferEvent::Stopped:
        state.transferRunning = false;
        break;
    case TransferEvent::FileExists:
        break; // the service abandons the transfer without overwriting
    }
}

bool startPackageDownload(UpdateFlow& flow, PackageKind kind) {
    UpdateState& state = flow.state;
    flow.downloader.configure(kBlockSize, kRetryWait, kRetryCount);
    const fs::path target = packageTarget(flow, kind);
    {
        std::lock_guard lock(flow.taskMutex);
        flow.task.url.clear();
        flow.task.localFile = target;
        flow.task.connectTimeout = kTimeout;
        flow.task.firstByteTimeout = kTimeout;
        flow.task.stallTimeout = kTimeout;
        flow.task.blockSize = kBlockSize;
        flow.task.onEvent = [&state](TransferEvent event, double value) {
            onTransferEvent(state, event, value);
        };
    }
    removeTarget(flow, target);

    const std::vector<std::string> mirrors =
        readMirrorList(state, flow.fetch, mirrorListPath(kind), flow.randomDraw);
    const std::string url = mirrors.empty() ? std::string() : mirrors.front();

    if (url.empty()) {
        if (kind == PackageKind::Data) {
            showUpdateText(flow, "无法获取远程列表，下载停止，请稍后再试",
                           " ◎ 无法获取远程列表，下载已停止，下次启动软件将重试。");
            flow.clock.sleepFor(5000ms);
            state.dataDownloadActive = false;
            startUpdateWorker(flow, "software check", flow.hooks.runSoftwareCheck);
            flow.view.processEvents();
        } else {
            showUpdateText(flow,
                           "无法获取远程列表，下载停止，请稍后再试，或进入" +
                               std::string(channels::kMakerDomain) + "下载最新版本",
                           " ◎ 无法获取远程列表，下载已停止，下次启动软件将重试。");
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
        showUpdateText(flow, "找到新版软件，正在更新...", " ◎ 找到更新的软件版本，正在下载...");
    }
    return true;
}

int progressStep(std::uint64_t delta, double totalBytes) {
    if (delta == 0) {
        return 0;
    }
    const long long total = common::truncateToInteger(totalBytes);
    // A delta beyond the long long range only happens with a broken counter; it makes ratio 0.
    const long long bytes =
        delta > static_cast<std::uint64_t>(std::numeric_limits<long long>::max())
            ? std::numeric_limits<long long>::max()
            : static_cast<long long>(delta);
    const long long ratio = total / bytes;
    if (ratio == 0) {
        return 0;
    }
    return static_cast<int>(100 / ratio + 1);
}

int advancedBarValue(int current, int step) {
    const long long value = static_cast<long long>(current) + step;
    return static_cast<int>(std::clamp<long long>(value, 0, 100));
}

void transferMonitorTick(UpdateFlow& flow) {
    const TickGuard guard(flow.tickRunning);
    if (!guard.entered()) {
        return;
    }
    UpdateState& state = flow.state;
    moveBar(flow, progressStep(flow.downloader.takeReceivedBytes(), state.totalBytes));

    if (state.transferRunning) {
        return;
    }
    if (state.dataDownloadActive) {
        dataTransferEnded(flow);
    } else if (state.softwareDownloadActive) {
        softwareTransferEnded(flow);
    }
}

bool goToNextMirror(UpdateFlow& flow, PackageKind kind) {
    UpdateState& state = flow.state;
    flow.downloader.stop();
    removeTarget(flow, packageTarget(flow, kind));
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
